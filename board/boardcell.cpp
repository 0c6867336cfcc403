#include "boardcell.h"

BoardCell cellOf(std::int16_t n)
{
    if (n % 10 != 0)
        return {int(double(n) / 10.0), n % 10 - 1};
    return {n / 10 - 1, 9};
}
