#pragma once

#include "clip.h"

#include <QByteArray>
#include <QString>

// Reads RIFF wave files: integer PCM of 8 to 32 bits and 32 or 64 bit float, any channel
// count and rate, mixed down and resampled to the output's format. Anything else,
// including a file whose data runs past its end, gives nothing.
class WaveDecoder
{
public:
    static constexpr qint64 MaxFileBytes = 32 * 1024 * 1024;
    static constexpr int MaxSeconds = 30; // longer recordings are cut here

    static ClipPtr decode(const QByteArray &bytes);
    static ClipPtr decodeFile(const QString &path);
};
