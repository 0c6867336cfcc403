#pragma once

#include "randomsource.h"

#include <cstdint>

// A small permuted congruential generator (PCG32), reseeded from a high-resolution clock
// mixed with a counter and a key drawn once from the system's entropy, so two games
// prepared in the same millisecond still differ. Reseeding costs a few nanoseconds.
class ClockRandomSource : public RandomSource
{
public:
    ClockRandomSource();

    float next() override;
    void reseed() override;

    // 24 random bits scaled by 2^-24: never 1.0, unlike some float distributions.
    static float toUnit(std::uint32_t bits) { return float(bits >> 8) * (1.0f / 16777216.0f); }

private:
    void seed(std::uint64_t value, std::uint64_t stream);
    std::uint32_t nextBits();

    std::uint64_t state = 0;
    std::uint64_t increment = 1;
};
