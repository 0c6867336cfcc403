#include "callorder.h"

#include <cmath>

std::int16_t proposal(float r)
{
    // In double the product is exact for a 24-bit r, so ties stay ties.
    const double x = double(r) * 89.0 + 1.0;
    return std::int16_t(std::nearbyint(x)); // the default rounding mode: nearest, ties to even
}

void initialization(GameState &state, RandomSource &random)
{
    state.callpos = 1;
    state.callcount = 0;
    for (std::int16_t i = 1; i <= GameState::Numbers; ++i)
        state.pool[i] = i;
    search(state, random);
}

int search(GameState &state, RandomSource &random)
{
    random.reseed();
    int draws = 0;
    int i = 1;
    while (i <= GameState::Numbers) {
        const std::int16_t n = proposal(random.next());
        ++draws;
        if (n < 1 || n > GameState::Numbers) // a source outside [0, 1) proposes nothing usable
            continue;
        if (state.pool[n] == n) {
            state.pool[n] = GameState::Marker;
            state.callorder[i] = n;
            ++i;
        }
    }
    return draws;
}
