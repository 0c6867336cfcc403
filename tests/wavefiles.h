#pragma once

#include <QByteArray>
#include <QFile>
#include <QTemporaryFile>

#include <sndfile.h>

#include <cmath>
#include <cstring>
#include <vector>

// Wave files made in memory for the tests: a 440 Hz tone at half scale in a given format.
namespace wavefiles {

inline void put16(QByteArray &bytes, int v)
{
    bytes.append(char(v & 0xFF));
    bytes.append(char((v >> 8) & 0xFF));
}

inline void put32(QByteArray &bytes, quint32 v)
{
    put16(bytes, int(v & 0xFFFF));
    put16(bytes, int(v >> 16));
}

// tag 1 is integer PCM, 3 is float.
inline QByteArray wave(int channels, int rate, int bits, int frames, int tag = 1)
{
    QByteArray data;
    for (int f = 0; f < frames; ++f) {
        const double v = 0.5 * std::sin(2 * M_PI * 440 * f / rate);
        for (int c = 0; c < channels; ++c) {
            if (tag == 3) {
                const float x = float(v);
                quint32 raw;
                std::memcpy(&raw, &x, 4);
                put32(data, raw);
            } else if (bits == 8) {
                data.append(char(quint8(128 + std::lround(v * 127))));
            } else if (bits == 16) {
                put16(data, int(std::lround(v * 32767)));
            } else if (bits == 24) {
                const int s = int(std::lround(v * 8388607));
                data.append(char(s & 0xFF));
                data.append(char((s >> 8) & 0xFF));
                data.append(char((s >> 16) & 0xFF));
            }
        }
    }
    QByteArray bytes("RIFF");
    put32(bytes, quint32(36 + data.size()));
    bytes.append("WAVEfmt ");
    put32(bytes, 16);
    put16(bytes, tag);
    put16(bytes, channels);
    put32(bytes, quint32(rate));
    put32(bytes, quint32(rate * channels * bits / 8));
    put16(bytes, channels * bits / 8);
    put16(bytes, bits);
    bytes.append("data");
    put32(bytes, quint32(data.size()));
    bytes.append(data);
    return bytes;
}

// A tone of the given frequency at half scale, written by libsndfile in one of its
// encodings (SF_FORMAT_WAV | SF_FORMAT_ULAW, ...).
inline QByteArray encoded(int format, int rate, int frames, double hz = 440)
{
    QTemporaryFile file;
    if (!file.open())
        return {};
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 1;
    info.format = format;
    SNDFILE *out = sf_open(QFile::encodeName(file.fileName()).constData(), SFM_WRITE, &info);
    if (!out)
        return {};
    std::vector<float> tone(static_cast<std::size_t>(frames));
    for (int f = 0; f < frames; ++f)
        tone[std::size_t(f)] = float(0.5 * std::sin(2 * M_PI * hz * f / rate));
    sf_writef_float(out, tone.data(), frames);
    sf_close(out);
    file.seek(0);
    return file.readAll();
}

// Bytes that mean nothing, the same for the same seed.
inline QByteArray noise(int size, quint32 seed)
{
    QByteArray bytes(size, '\0');
    for (char &c : bytes) {
        seed = seed * 1664525u + 1013904223u;
        c = char(seed >> 24);
    }
    return bytes;
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace wavefiles
