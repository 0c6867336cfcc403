#pragma once

#include <cstdint>

struct BoardCell
{
    int row;
    int column;
};

// Where number n (1 to 90) lives: a multiple of ten ends the row holding the nine below it.
BoardCell cellOf(std::int16_t n);
