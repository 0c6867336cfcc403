#include "wavedecoder.h"

#include <QFile>
#include <QFileInfo>

#include <sndfile.h>
#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// libsndfile reads from the bytes in memory, so no file is opened twice.
struct Memory
{
    const QByteArray &bytes;
    sf_count_t at = 0;
};

sf_count_t memoryLength(void *user)
{
    return static_cast<Memory *>(user)->bytes.size();
}

sf_count_t memorySeek(sf_count_t offset, int whence, void *user)
{
    auto *m = static_cast<Memory *>(user);
    const sf_count_t base = whence == SEEK_CUR ? m->at : whence == SEEK_END ? m->bytes.size() : 0;
    const sf_count_t to = base + offset;
    if (to < 0 || to > m->bytes.size())
        return -1;
    m->at = to;
    return m->at;
}

sf_count_t memoryRead(void *into, sf_count_t count, void *user)
{
    auto *m = static_cast<Memory *>(user);
    const sf_count_t n = std::clamp<sf_count_t>(m->bytes.size() - m->at, 0, count);
    std::memcpy(into, m->bytes.constData() + m->at, std::size_t(n));
    m->at += n;
    return n;
}

sf_count_t memoryWrite(const void *, sf_count_t, void *)
{
    return 0;
}

sf_count_t memoryTell(void *user)
{
    return static_cast<Memory *>(user)->at;
}

bool isWaveContainer(int format)
{
    const int major = format & SF_FORMAT_TYPEMASK;
    return major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX || major == SF_FORMAT_RF64;
}

constexpr std::size_t ReadFrames = 4096;

// The whole recording as mono values in [-1, 1], read until the data ends, since a size
// field may promise more than the file holds.
std::vector<float> readMono(SNDFILE *file, const SF_INFO &info)
{
    const auto channels = std::size_t(info.channels);
    const auto longest = std::size_t(info.samplerate) * 60 * WaveDecoder::MaxMinutes;
    std::vector<float> mono;
    std::vector<float> block(ReadFrames * channels);
    for (;;) {
        const sf_count_t got = sf_readf_float(file, block.data(), sf_count_t(ReadFrames));
        if (got <= 0)
            break;
        for (sf_count_t f = 0; f < got; ++f) {
            float sum = 0;
            for (std::size_t c = 0; c < channels; ++c)
                sum += block[std::size_t(f) * channels + c];
            mono.push_back(std::isfinite(sum) ? sum / float(channels) : 0.0f);
        }
        if (mono.size() > longest)
            return {};
    }
    return mono;
}

ClipPtr toClip(const std::vector<float> &mono, int fromRate, int rate)
{
    if (mono.empty())
        return nullptr;
    auto clip = std::make_shared<Clip>();
    clip->rate = rate > 0 ? rate : fromRate;
    if (clip->rate == fromRate) {
        clip->samples.resize(mono.size());
        std::transform(mono.begin(), mono.end(), clip->samples.begin(), [](float v) {
            return std::int16_t(std::lround(std::clamp(double(v) * 32768.0, -32768.0, 32767.0)));
        });
        return clip;
    }
    const double ratio = double(clip->rate) / fromRate;
    clip->samples.resize(std::size_t(std::ceil(double(mono.size()) * ratio)));
    soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_INT16_I);
    io.flags |= SOXR_NO_DITHER; // the same file gives the same samples every time
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    std::size_t done = 0;
    const soxr_error_t error = soxr_oneshot(fromRate, clip->rate, 1, mono.data(), mono.size(), nullptr,
                                            clip->samples.data(), clip->samples.size(), &done, &io, &quality, nullptr);
    if (error || done == 0)
        return nullptr;
    clip->samples.resize(done);
    return clip;
}

} // namespace

ClipPtr WaveDecoder::decode(const QByteArray &bytes, int rate)
{
    Memory memory{bytes};
    SF_VIRTUAL_IO io{memoryLength, memorySeek, memoryRead, memoryWrite, memoryTell};
    SF_INFO info{};
    SNDFILE *file = sf_open_virtual(&io, SFM_READ, &info, &memory);
    if (!file)
        return nullptr;
    ClipPtr clip;
    if (isWaveContainer(info.format) && info.channels > 0 && info.samplerate > 0) {
        // Integer data read as float is scaled to [-1, 1]; float data is taken as it is.
        sf_command(file, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
        clip = toClip(readMono(file, info), info.samplerate, rate);
    }
    sf_close(file);
    return clip;
}

ClipPtr WaveDecoder::decodeFile(const QString &path, int rate)
{
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > MaxFileBytes)
        return nullptr;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return nullptr;
    return decode(file.read(info.size()), rate); // the size checked above, not the limit
}

ClipPtr WaveDecoder::resampled(const ClipPtr &clip, int rate)
{
    if (!clip || rate <= 0 || clip->rate == rate)
        return clip;
    std::vector<float> mono(clip->samples.size());
    std::transform(clip->samples.begin(), clip->samples.end(), mono.begin(),
                   [](std::int16_t s) { return float(s) / 32768.0f; });
    return toClip(mono, clip->rate, rate);
}
