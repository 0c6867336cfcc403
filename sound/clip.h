#pragma once

#include <cstdint>
#include <memory>
#include <vector>

// One recording decoded and ready to play: mono, 16 bit, at the output's rate.
struct Clip
{
    static constexpr int SampleRate = 22050;
    std::vector<std::int16_t> samples;

    double seconds() const { return double(samples.size()) / SampleRate; }
};

using ClipPtr = std::shared_ptr<const Clip>;
