#pragma once

// Where the call order's randomness comes from; tests feed exact values through it.
class RandomSource
{
public:
    virtual ~RandomSource() = default;
    // Next value in [0, 1); it has at most 24 significant bits.
    virtual float next() = 0;
    // Starts a fresh sequence from the clock.
    virtual void reseed() = 0;
};
