#pragma once

#include "clip.h"

#include <QString>

// Reads recordings through libsndfile, whatever container and encoding it knows (WAV,
// WAVEFORMATEX and RF64 with PCM, float, µ-law, A-law, ADPCM or GSM 6.10; AIFF, FLAC, Ogg,
// MP3, ...), mixes them to mono and resamples them with libsoxr at high quality to the rate
// asked for (0 keeps the file's own). A file whose data is cut short gives what is there;
// anything unreadable, empty or longer than ten minutes gives nothing. Every member reads
// or converts at once and may take long: the program runs them on the recordings' thread
// only (see ClipStore).
class WaveDecoder
{
public:
    static constexpr int MaxMinutes = 10; // longer files are refused, not cut

    // A file that cannot be played gives nothing and, where why is given, the reason.
    static ClipPtr decodeFile(const QString &path, int rate = 0, QString *why = nullptr);
    // The recording's length from its header, without decoding it; -1 where it cannot be
    // played (the reason in why), 0 where the header does not say.
    static double seconds(const QString &path, QString *why = nullptr);
private:
    static int openFile(const QString &path, QString *why);

public:
    // The same recording at another rate; the clip itself when it already has it.
    static ClipPtr resampled(const ClipPtr &clip, int rate);
};
