#include "clockrandomsource.h"

#include <atomic>
#include <chrono>

ClockRandomSource::ClockRandomSource()
{
    reseed();
}

ClockRandomSource::ClockRandomSource(std::uint32_t seed)
    : engine(seed)
{
}

float ClockRandomSource::next()
{
    return toUnit(std::uint32_t(engine()));
}

void ClockRandomSource::reseed()
{
    static std::atomic<std::uint64_t> counter{0};
    const auto clock = std::uint64_t(std::chrono::high_resolution_clock::now().time_since_epoch().count());
    const std::uint64_t serial = ++counter;
    std::random_device entropy;
    std::seed_seq seeds{std::uint32_t(clock), std::uint32_t(clock >> 32), std::uint32_t(serial),
                        std::uint32_t(serial >> 32), entropy(), entropy()};
    engine.seed(seeds);
}
