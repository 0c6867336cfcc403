#include "wavedecoder.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <sndfile.h>
#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <cstring>

namespace {

constexpr std::size_t ReadFrames = 4096;

std::size_t longestFrames(const SF_INFO &info)
{
    return std::size_t(info.samplerate) * 60 * WaveDecoder::MaxMinutes;
}

// libsoxr's settings for every conversion: high quality, float in, 16 bits out, without
// dither, so the same file gives the same samples every time.
soxr_io_spec_t conversionIo()
{
    soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_INT16_I);
    io.flags |= SOXR_NO_DITHER;
    return io;
}

std::int16_t toSample(float v)
{
    return std::int16_t(std::lround(std::clamp(double(v) * 32768.0, -32768.0, 32767.0)));
}

// The whole recording, mixed to mono and converted to the rate piece by piece as it is
// read, so no more than the result is held; read until the data ends, since a size field
// may promise more than the file holds. Nothing when it runs past the longest allowed.
ClipPtr readMono(SNDFILE *file, const SF_INFO &info, int rate, bool *tooLong)
{
    const auto channels = std::size_t(info.channels);
    const auto longest = longestFrames(info);
    auto clip = std::make_shared<Clip>();
    clip->rate = rate > 0 ? rate : info.samplerate;
    const double ratio = double(clip->rate) / info.samplerate;
    if (info.frames > 0 && std::size_t(info.frames) <= longest)
        clip->samples.reserve(std::size_t(double(info.frames) * ratio) + 64);
    soxr_t resampler = nullptr;
    if (clip->rate != info.samplerate) {
        const soxr_io_spec_t io = conversionIo();
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        soxr_error_t error = nullptr;
        resampler = soxr_create(info.samplerate, clip->rate, 1, &error, &io, &quality, nullptr);
        if (error)
            return nullptr;
    }
    std::vector<float> block(ReadFrames * channels);
    std::vector<float> mono(ReadFrames);
    std::vector<std::int16_t> converted(std::size_t(double(ReadFrames) * ratio) + 64);
    // The resampler keeps what does not fit yet and gives it on the next turn.
    auto convert = [&](const float *in, std::size_t count) {
        std::size_t done = 0;
        soxr_process(resampler, in, count, nullptr, converted.data(), converted.size(), &done);
        clip->samples.insert(clip->samples.end(), converted.begin(), converted.begin() + std::ptrdiff_t(done));
        return done;
    };
    std::size_t frames = 0;
    for (;;) {
        const sf_count_t got = sf_readf_float(file, block.data(), sf_count_t(ReadFrames));
        if (got <= 0)
            break;
        frames += std::size_t(got);
        if (frames > longest) {
            *tooLong = true;
            soxr_delete(resampler);
            return nullptr;
        }
        for (sf_count_t f = 0; f < got; ++f) {
            float sum = 0;
            for (std::size_t c = 0; c < channels; ++c)
                sum += block[std::size_t(f) * channels + c];
            mono[std::size_t(f)] = std::isfinite(sum) ? sum / float(channels) : 0.0f;
        }
        if (resampler)
            convert(mono.data(), std::size_t(got));
        else
            std::transform(mono.begin(), mono.begin() + got, std::back_inserter(clip->samples), toSample);
    }
    if (resampler) {
        // The resampler's tail: asked for until it gives nothing more.
        while (convert(nullptr, 0) > 0) {
        }
        soxr_delete(resampler);
    }
    if (frames == 0 || clip->samples.empty())
        return nullptr;
    clip->samples.shrink_to_fit();
    return clip;
}

ClipPtr toClip(const std::vector<float> &mono, int fromRate, int rate)
{
    if (mono.empty())
        return nullptr;
    auto clip = std::make_shared<Clip>();
    clip->rate = rate > 0 ? rate : fromRate;
    if (clip->rate == fromRate) {
        clip->samples.resize(mono.size());
        std::transform(mono.begin(), mono.end(), clip->samples.begin(), toSample);
        return clip;
    }
    const double ratio = double(clip->rate) / fromRate;
    clip->samples.resize(std::size_t(std::ceil(double(mono.size()) * ratio)));
    const soxr_io_spec_t io = conversionIo();
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    std::size_t done = 0;
    const soxr_error_t error = soxr_oneshot(fromRate, clip->rate, 1, mono.data(), mono.size(), nullptr,
                                            clip->samples.data(), clip->samples.size(), &done, &io, &quality, nullptr);
    if (error || done == 0)
        return nullptr;
    clip->samples.resize(done);
    return clip;
}

// Reads an opened sound file to the end; the reason when there is nothing to play.
ClipPtr readOpened(SNDFILE *file, const SF_INFO &info, int rate, QString *why)
{
    auto refuse = [why](const char *reason) {
        if (why)
            *why = QLatin1String(reason);
        return nullptr;
    };
    if (!file)
        return refuse("not a sound file libsndfile reads");
    ClipPtr clip;
    if (info.channels <= 0 || info.samplerate <= 0) {
        refuse("not a sound file libsndfile reads");
    } else if (info.frames > sf_count_t(longestFrames(info)) && info.frames != SF_COUNT_MAX) {
        refuse("longer than 10 minutes"); // known from the header, before reading anything
    } else {
        // Integer data read as float is scaled to [-1, 1]; float data is taken as it is.
        sf_command(file, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
        bool tooLong = false;
        clip = readMono(file, info, rate, &tooLong);
        if (!clip)
            refuse(tooLong ? "longer than 10 minutes" : "holds no sound");
    }
    sf_close(file);
    return clip;
}

} // namespace

int WaveDecoder::openFile(const QString &path, QString *why)
{
    // Only a regular file is opened: opening a named pipe, a device or a socket can wait
    // for ever, or do something other than reading.
    const QByteArray name = QFile::encodeName(path);
    struct stat info{};
    auto refuse = [why](const QString &reason) {
        if (why)
            *why = reason;
        return -1;
    };
    if (::stat(name.constData(), &info) != 0)
        return refuse(QString::fromLocal8Bit(std::strerror(errno)).toLower());
    if (S_ISDIR(info.st_mode))
        return refuse(QStringLiteral("a folder, not a file"));
    if (S_ISFIFO(info.st_mode))
        return refuse(QStringLiteral("a named pipe, not a file"));
    if (S_ISSOCK(info.st_mode))
        return refuse(QStringLiteral("a socket, not a file"));
    if (!S_ISREG(info.st_mode))
        return refuse(QStringLiteral("a device, not a file"));
    // Non-blocking, should it have become a pipe since: a regular file reads the same.
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return refuse(QString::fromLocal8Bit(std::strerror(errno)).toLower());
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size == 0) {
        ::close(fd);
        return refuse(S_ISREG(info.st_mode) && info.st_size == 0 ? QStringLiteral("an empty file")
                                                                : QStringLiteral("not a file"));
    }
    return fd;
}

double WaveDecoder::seconds(const QString &path, QString *why)
{
    const int fd = openFile(path, why);
    if (fd < 0)
        return -1;
    SF_INFO info{};
    SNDFILE *file = sf_open_fd(fd, SFM_READ, &info, SF_TRUE);
    if (!file) {
        if (why)
            *why = QStringLiteral("not a sound file libsndfile reads");
        return -1;
    }
    sf_close(file);
    return info.samplerate > 0 && info.frames != SF_COUNT_MAX ? double(info.frames) / info.samplerate : 0;
}

ClipPtr WaveDecoder::decodeFile(const QString &path, int rate, QString *why)
{
    const int fd = openFile(path, why);
    if (fd < 0)
        return nullptr;
    SF_INFO info{};
    // libsndfile reads the file itself, whatever container it is in, and closes it.
    SNDFILE *file = sf_open_fd(fd, SFM_READ, &info, SF_TRUE);
    return readOpened(file, info, rate, why);
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
