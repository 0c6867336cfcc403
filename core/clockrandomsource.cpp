#include "clockrandomsource.h"

#include <atomic>
#include <chrono>
#include <random>

namespace {
// Spreads every input bit over the whole word (splitmix64's finaliser).
std::uint64_t mix(std::uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

std::uint64_t processKey()
{
    static const std::uint64_t key = [] {
        std::random_device entropy;
        return std::uint64_t(entropy()) << 32 | entropy();
    }();
    return key;
}
}

ClockRandomSource::ClockRandomSource()
{
    reseed();
}

void ClockRandomSource::seed(std::uint64_t value, std::uint64_t stream)
{
    state = 0;
    increment = stream << 1 | 1;
    nextBits();
    state += value;
    nextBits();
}

std::uint32_t ClockRandomSource::nextBits()
{
    const std::uint64_t old = state;
    state = old * 6364136223846793005ull + increment;
    const auto shifted = std::uint32_t(((old >> 18) ^ old) >> 27);
    const auto rotation = std::uint32_t(old >> 59);
    return (shifted >> rotation) | (shifted << ((32 - rotation) & 31));
}

float ClockRandomSource::next()
{
    return toUnit(nextBits());
}

void ClockRandomSource::reseed()
{
    static std::atomic<std::uint64_t> counter{0};
    const auto clock = std::uint64_t(std::chrono::high_resolution_clock::now().time_since_epoch().count());
    const std::uint64_t serial = ++counter;
    const std::uint64_t key = processKey();
    seed(mix(clock ^ key), mix(serial + key));
}
