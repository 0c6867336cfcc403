#pragma once

#include <array>
#include <cstdint>

// The state of one game; it lives as long as the main window. Arrays are indexed 1 to 90.
// The flags are numbers, not bools: 1 means on and every other value off, so a value
// other than 0 or 1 still reads as off.
struct GameState
{
    static constexpr int Numbers = 90;
    static constexpr std::int16_t Marker = 100; // a pool entry holding this has been placed

    std::int16_t running = 0; // 1 while ticks call numbers
    std::array<std::int16_t, Numbers + 1> pool{};
    std::array<std::int16_t, Numbers + 1> callorder{};
    // The position in callorder of the next number to call. It runs ahead of callcount
    // only when ticks come while the continue question is open; above 90 the order is
    // used up.
    int callpos = 0;
    int callcount = 0;        // numbers called in this game; the 90th ends it
    int zoomflag = 0;         // 1 while the zoom window follows the calls
    std::int16_t soundflag = 0; // 1 while the numbers are spoken
};
