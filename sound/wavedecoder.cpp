#include "wavedecoder.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

quint32 le32(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return quint32(u[0]) | quint32(u[1]) << 8 | quint32(u[2]) << 16 | quint32(u[3]) << 24;
}

quint16 le16(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return quint16(u[0] | u[1] << 8);
}

struct Format
{
    quint16 tag = 0;
    quint16 channels = 0;
    quint32 rate = 0;
    quint16 blockAlign = 0;
    quint16 bits = 0;
};

constexpr quint16 TagPcm = 1;
constexpr quint16 TagFloat = 3;
constexpr quint16 TagExtensible = 0xFFFE;

bool readFormat(const char *p, quint32 size, Format &format)
{
    if (size < 16)
        return false;
    format.tag = le16(p);
    format.channels = le16(p + 2);
    format.rate = le32(p + 4);
    format.blockAlign = le16(p + 12);
    format.bits = le16(p + 14);
    if (format.tag == TagExtensible) {
        if (size < 40)
            return false;
        format.tag = le16(p + 24); // the sub-format's leading two bytes
    }
    const bool pcm = format.tag == TagPcm && format.bits >= 8 && format.bits <= 32 && format.bits % 8 == 0;
    const bool floating = format.tag == TagFloat && (format.bits == 32 || format.bits == 64);
    return (pcm || floating) && format.channels >= 1 && format.channels <= 16 && format.rate >= 1000
        && format.rate <= 384000 && format.blockAlign == format.channels * (format.bits / 8);
}

// One sample as a value in [-1, 1].
double sampleAt(const char *p, const Format &format)
{
    if (format.tag == TagFloat) {
        if (format.bits == 32) {
            float f;
            quint32 raw = le32(p);
            std::memcpy(&f, &raw, sizeof f);
            return std::isfinite(f) ? std::clamp(double(f), -1.0, 1.0) : 0.0;
        }
        double d;
        quint64 raw = quint64(le32(p)) | quint64(le32(p + 4)) << 32;
        std::memcpy(&d, &raw, sizeof d);
        return std::isfinite(d) ? std::clamp(d, -1.0, 1.0) : 0.0;
    }
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    switch (format.bits) {
    case 8:
        return (int(u[0]) - 128) / 128.0;
    case 16:
        return qint16(le16(p)) / 32768.0;
    case 24: {
        const qint32 v = qint32(quint32(u[0]) << 8 | quint32(u[1]) << 16 | quint32(u[2]) << 24) >> 8;
        return v / 8388608.0;
    }
    default:
        return qint32(le32(p)) / 2147483648.0;
    }
}

ClipPtr convert(const char *data, quint32 frames, const Format &format)
{
    // Our own recordings are already in the output's format: copy them as they are.
    if (format.tag == TagPcm && format.bits == 16 && format.channels == 1 && format.rate == Clip::SampleRate) {
        auto clip = std::make_shared<Clip>();
        clip->samples.resize(frames);
        for (quint32 f = 0; f < frames; ++f)
            clip->samples[f] = std::int16_t(le16(data + qint64(f) * 2));
        return clip;
    }

    const int bytesPerSample = format.bits / 8;
    std::vector<double> mono(frames);
    for (quint32 f = 0; f < frames; ++f) {
        const char *frame = data + qint64(f) * format.blockAlign;
        double sum = 0;
        for (int c = 0; c < format.channels; ++c)
            sum += sampleAt(frame + c * bytesPerSample, format);
        mono[f] = sum / format.channels;
    }

    auto clip = std::make_shared<Clip>();
    const double step = double(format.rate) / Clip::SampleRate;
    const auto count = std::size_t(std::floor((frames - 1) / step)) + 1;
    clip->samples.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const double at = double(i) * step;
        const auto left = std::size_t(at);
        const std::size_t right = std::min<std::size_t>(left + 1, frames - 1);
        const double value = mono[left] + (mono[right] - mono[left]) * (at - double(left));
        clip->samples[i] = std::int16_t(std::lround(std::clamp(value * 32767.0, -32768.0, 32767.0)));
    }
    return clip;
}

} // namespace

ClipPtr WaveDecoder::decode(const QByteArray &bytes)
{
    const char *p = bytes.constData();
    const qint64 total = bytes.size();
    if (total < 12 || std::memcmp(p, "RIFF", 4) != 0 || std::memcmp(p + 8, "WAVE", 4) != 0)
        return nullptr;

    Format format;
    bool haveFormat = false;
    qint64 at = 12;
    while (at + 8 <= total) {
        const char *id = p + at;
        const quint32 size = le32(p + at + 4);
        const qint64 body = at + 8;
        if (qint64(size) > total - body)
            return nullptr; // the chunk runs past the end of the file
        if (std::memcmp(id, "fmt ", 4) == 0) {
            haveFormat = readFormat(p + body, size, format);
            if (!haveFormat)
                return nullptr;
        } else if (std::memcmp(id, "data", 4) == 0) {
            if (!haveFormat)
                return nullptr;
            quint32 frames = size / format.blockAlign;
            frames = std::min<quint32>(frames, format.rate * quint32(MaxSeconds));
            if (frames == 0)
                return nullptr;
            return convert(p + body, frames, format);
        }
        at = body + size + (size & 1);
    }
    return nullptr;
}

ClipPtr WaveDecoder::decodeFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > MaxFileBytes)
        return nullptr;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return nullptr;
    return decode(file.read(info.size())); // the size checked above, not the limit
}
