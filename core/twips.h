#pragma once

#include <QRect>

// Window lengths are kept in twips; 15 twips make one device-independent pixel.
constexpr int twips(int t)
{
    return (t + 7) / 15;
}

// A control's place given in twips, in device-independent pixels.
inline QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twips(left), twips(top), twips(width), twips(height));
}
