#pragma once

#include <QString>

// A number as the board and the counter show it: the sign position kept as a space (" 7").
inline QString numberText(int n)
{
    return n < 0 ? QString::number(n) : QLatin1Char(' ') + QString::number(n);
}

// The same number with the sign position trimmed ("7"), as the number display and the
// recordings' file names use it.
inline QString plainNumberText(int n)
{
    return numberText(n).trimmed();
}
