#pragma once

#include <QByteArray>

#include <vector>

// A QR code's modules, made by libqrencode at error correction level M; empty when the
// text does not fit one.
class QrCode
{
public:
    static QrCode of(const QByteArray &text);

    int size() const { return width; } // modules a side, without the quiet zone
    bool dark(int x, int y) const { return modules[std::size_t(y * width + x)]; }
    bool empty() const { return width == 0; }

private:
    int width = 0;
    std::vector<bool> modules;
};
