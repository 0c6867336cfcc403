#pragma once

#include "clip.h"

#include <QByteArray>
#include <QString>

// Reads wave files through libsndfile (every encoding it knows in a RIFF, WAVEFORMATEX or
// RF64 file: PCM, float, µ-law, A-law, IMA and MS ADPCM, GSM 6.10, ...), mixes them to
// mono and resamples them with libsoxr at high quality to the rate asked for (0 keeps
// the file's own). A file whose data is cut short gives what is there; anything
// unreadable, empty or absurdly large gives nothing.
class WaveDecoder
{
public:
    static constexpr qint64 MaxFileBytes = 16 * 1024 * 1024;
    static constexpr int MaxMinutes = 10; // longer files are refused, not cut

    static ClipPtr decode(const QByteArray &bytes, int rate = 0);
    static ClipPtr decodeFile(const QString &path, int rate = 0);
    // The same recording at another rate; the clip itself when it already has it.
    static ClipPtr resampled(const ClipPtr &clip, int rate);
};
