#pragma once

#include "randomsource.h"

#include <cstdint>
#include <random>

// Mersenne twister reseeded from a high-resolution clock mixed with a counter and the
// system's entropy, so two games prepared in the same millisecond still differ.
class ClockRandomSource : public RandomSource
{
public:
    ClockRandomSource();
    explicit ClockRandomSource(std::uint32_t seed); // fixed sequence, for measurements

    float next() override;
    void reseed() override;

    // 24 random bits scaled by 2^-24: never 1.0, unlike some float distributions.
    static float toUnit(std::uint32_t bits) { return float(bits >> 8) * (1.0f / 16777216.0f); }

private:
    std::mt19937 engine;
};
