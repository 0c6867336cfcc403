#pragma once

// Window lengths are kept in twips; 15 twips make one device-independent pixel.
constexpr int twips(int t)
{
    return (t + 7) / 15;
}
