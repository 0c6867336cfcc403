#pragma once

#include "gamestate.h"
#include "randomsource.h"

#include <cstdint>

// The number a draw r in [0, 1) proposes: r * 89 + 1 rounded half to even, so 1 and 90
// come up half as often as the others.
std::int16_t proposal(float r);

// Prepares a new game: position 1, no calls, a full pool, then a fresh order.
void initialization(GameState &state, RandomSource &random);

// Fills callorder(1..90) by rejection over the proposals, consuming the pool.
// Returns the number of draws it took.
int search(GameState &state, RandomSource &random);
