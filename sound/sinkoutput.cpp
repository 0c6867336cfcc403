#include "sinkoutput.h"

#include <QAudioFormat>
#include <QAudioSink>
#include <QDir>
#include <QFileInfo>
#include <QMediaDevices>

#include <algorithm>
#include <chrono>

namespace {
QAudioFormat clipFormat()
{
    QAudioFormat format;
    format.setSampleRate(Clip::SampleRate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    return format;
}

qint64 steadyNow()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
}

SinkFeeder::SinkFeeder()
    : feed(this)
{
    feed.setTimerType(Qt::PreciseTimer);
    feed.setInterval(FeedMilliseconds);
    connect(&feed, &QTimer::timeout, this, &SinkFeeder::pump);
}

void SinkFeeder::begin(const QAudioDevice &output)
{
    device = output;
    openSink();
    feed.start();
}

void SinkFeeder::openSink()
{
    delete sink;
    sink = nullptr;
    stream = nullptr;
    sinceOpen.start();
    if (device.isNull())
        return;
    sink = new QAudioSink(device, clipFormat(), this);
    sink->setBufferSize(clipFormat().bytesForDuration(BufferMilliseconds * 1000));
    stream = sink->start();
}

void SinkFeeder::play(const ClipPtr &clip)
{
    current = clip;
    position = 0;
    starting = true;
    pump();
}

void SinkFeeder::finish()
{
    feed.stop();
    delete sink;
    sink = nullptr;
    stream = nullptr;
}

void SinkFeeder::pump()
{
    if (!stream || sink->error() == QAudio::FatalError || sink->error() == QAudio::OpenError) {
        // The sound server went away: try again now and then, silently.
        if (sinceOpen.elapsed() > 1000 && !device.isNull())
            openSink();
        return;
    }
    qint64 free = sink->bytesFree();
    while (free >= 2) {
        const auto samples = std::size_t(std::min<qint64>(free, 8192) / 2);
        chunk.assign(samples, 0);
        std::size_t fromClip = 0;
        if (current) {
            fromClip = std::min(samples, current->samples.size() - position);
            std::copy_n(current->samples.begin() + std::ptrdiff_t(position), fromClip, chunk.begin());
        }
        const qint64 written = stream->write(reinterpret_cast<const char *>(chunk.data()), qint64(samples * 2));
        if (written <= 0)
            break;
        if (current) {
            if (starting && written > 0) {
                starting = false;
                Q_EMIT clipStarted(steadyNow());
            }
            position += std::min(fromClip, std::size_t(written / 2));
            if (position >= current->samples.size())
                current.reset();
        }
        free -= written;
    }
}

SinkOutput::SinkOutput(QObject *parent)
    : QObject(parent)
    , worker(new SinkFeeder)
{
    thread.setObjectName(QStringLiteral("sound"));
    worker->moveToThread(&thread);
}

SinkOutput::~SinkOutput()
{
    if (started) {
        QMetaObject::invokeMethod(worker, &SinkFeeder::finish, Qt::BlockingQueuedConnection);
        thread.quit();
        thread.wait();
    }
    delete worker;
}

// The sound server's client library writes a login cookie into the user's configuration
// when it finds none there. This program writes nothing, so in that case it hands the
// library an all-zero cookie it can read but never write; same-user connections
// are let in by their credentials. An existing cookie, or one the user names, is kept.
static void keepCookieUnwritten()
{
    if (qEnvironmentVariableIsSet("PULSE_COOKIE"))
        return;
    const QString home = QDir::homePath();
    const QString config = qEnvironmentVariableIsEmpty("XDG_CONFIG_HOME")
        ? home + QStringLiteral("/.config")
        : qEnvironmentVariable("XDG_CONFIG_HOME");
    if (QFileInfo::exists(config + QStringLiteral("/pulse/cookie"))
        || QFileInfo::exists(home + QStringLiteral("/.pulse-cookie")))
        return;
    qputenv("PULSE_COOKIE", QByteArrayLiteral("/dev/zero"));
}

void SinkOutput::start()
{
    if (started)
        return;
    started = true;
    keepCookieUnwritten();
    const QAudioDevice output = QMediaDevices::defaultAudioOutput();
    thread.start(QThread::HighPriority);
    QMetaObject::invokeMethod(worker, [this, output] { worker->begin(output); }, Qt::QueuedConnection);
}

void SinkOutput::play(const ClipPtr &clip)
{
    if (started)
        QMetaObject::invokeMethod(worker, [this, clip] { worker->play(clip); }, Qt::QueuedConnection);
}
