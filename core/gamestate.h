#pragma once

#include <array>
#include <cstdint>

// The state of one game; it lives as long as the main window. Arrays are indexed 1 to 90.
struct GameState
{
    static constexpr std::int16_t Marker = 100; // a pool entry holding this has been placed

    std::int16_t running = 0;
    std::array<std::int16_t, 91> pool{};
    std::array<std::int16_t, 91> callorder{};
    int callpos = 0;
    int callcount = 0;
    int zoomflag = 0;
    std::int16_t soundflag = 0;
};
