#pragma once

#include <cstdint>
#include <memory>
#include <vector>

// One recording decoded and ready to play: mono, 16 bit, at a known rate.
struct Clip
{
    int rate = 0;
    std::vector<std::int16_t> samples;

    double seconds() const { return rate > 0 ? double(samples.size()) / rate : 0.0; }
};

using ClipPtr = std::shared_ptr<const Clip>;
