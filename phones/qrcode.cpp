#include "qrcode.h"

#include <qrencode.h>

QrCode QrCode::of(const QByteArray &text)
{
    QrCode code;
    QRcode *made = QRcode_encodeString8bit(text.constData(), 0, QR_ECLEVEL_M);
    if (!made)
        return code;
    code.width = made->width;
    code.modules.resize(std::size_t(made->width) * std::size_t(made->width));
    for (std::size_t i = 0; i < code.modules.size(); ++i)
        code.modules[i] = (made->data[i] & 1) != 0; // bit 0: a dark module
    QRcode_free(made);
    return code;
}
