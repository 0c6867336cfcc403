#pragma once

#include "audiooutput.h"

#include <QAudioDevice>
#include <QElapsedTimer>
#include <QObject>
#include <QThread>
#include <QTimer>

class QAudioSink;
class QIODevice;

// Feeds the default audio output from a thread of its own. The stream is opened once and
// kept flowing with silence between recordings, so a call is heard at once and a busy
// window never makes the voice stutter.
class SinkFeeder : public QObject
{
    Q_OBJECT

public:
    static constexpr int BufferMilliseconds = 60;
    static constexpr int FeedMilliseconds = 5;

    SinkFeeder();

    void begin(const QAudioDevice &output);
    void play(const ClipPtr &clip);
    void finish();

Q_SIGNALS:
    // The first samples of a recording have been handed to the sound server.
    void clipStarted(qint64 steadyNanoseconds);

private:
    void openSink();
    void pump();

    QAudioDevice device;
    QAudioSink *sink = nullptr;
    QIODevice *stream = nullptr;
    QTimer feed;
    QElapsedTimer sinceOpen;
    ClipPtr current;
    std::size_t position = 0;
    bool starting = false;
    std::vector<std::int16_t> chunk;
};

class SinkOutput : public QObject, public AudioOutput
{
    Q_OBJECT

public:
    explicit SinkOutput(QObject *parent = nullptr);
    ~SinkOutput() override;

    // Opens the default output; until then recordings are not heard. Kept apart from
    // construction so the window can be painted first.
    void start();
    void play(const ClipPtr &clip) override;
    SinkFeeder *feeder() const { return worker; }

private:
    QThread thread;
    SinkFeeder *worker;
    bool started = false;
};
