#pragma once

#include "audiooutput.h"

#include <pulse/pulseaudio.h>

#include <atomic>
#include <functional>
#include <vector>

// Plays recordings on the sound server's default device through libpulse. Nothing polls:
// the server asks for data while a recording sounds, and the stream exists only while
// calling goes on or a recording plays, so the device may sleep in between. An
// announcement that finds no working server connects again, so the voice comes back after
// any outage; the stream follows the default device and is made anew when its format
// changes.
//
// Threads and the lock: libpulse runs its main loop on a thread of its own ("sound") and
// calls every callback below (contextState, contextEvent, serverInfo, sinkInfo,
// streamState, streamWants, releaseDue) on it with the loop locked; play, converted,
// setReady, stop and start take the same lock on the caller's thread (the window's, or
// the recordings' for a clip read in the background). Nothing slow runs under the lock:
// clips come decoded, and rateChanged and convert run on the sound thread under the lock,
// so they must only hand work on to the recordings' thread, never do it or wait for it.
class PulseOutput : public AudioOutput
{
public:
    // Where the client library finds its login cookie; decided once, before any sound
    // thread starts, since changing the environment is not safe while threads run.
    static void keepCookieUnwritten();

    PulseOutput();
    ~PulseOutput() override;
    PulseOutput(const PulseOutput &) = delete;
    PulseOutput &operator=(const PulseOutput &) = delete;

    // Connects now, so the device's rate is known before the first call.
    void start();
    int sampleRate() const override { return rate.load(); }
    void play(const ClipPtr &clip) override;
    void setReady(bool ready) override;
    void stop() override;

    // Run on the sound thread, under the lock: the default device's rate became known or
    // changed.
    std::function<void(int rate)> rateChanged;

    // Run on the sound thread, under the lock: the clip about to start is not at the
    // device's rate. Its conversion to rate is to be handed back through converted.
    std::function<void(const ClipPtr &clip, int rate)> convert;
    // The clip from, converted: it starts unless silence or another sound was asked for
    // in the meantime. Any thread but the sound thread.
    void converted(const ClipPtr &from, const ClipPtr &clip);

    // How long the stream stays after calling stops and the last sound has ended.
    static constexpr int ReleaseMilliseconds = 2000;

private:
    // All of these run with the main loop locked.
    void connectServer();
    bool serverReady() const;
    void lookUpDefaultDevice();
    void deviceFound(const pa_sink_info &sink);
    void openStream();
    void closeStream();
    void startWhenReady();
    void startClip();
    void feed(std::size_t bytes);
    void releaseLater();
    void keepStream();
    void lost();

    static void contextState(pa_context *context, void *self);
    static void contextEvent(pa_context *context, pa_subscription_event_type_t type, uint32_t index, void *self);
    static void serverInfo(pa_context *context, const pa_server_info *info, void *self);
    static void sinkInfo(pa_context *context, const pa_sink_info *info, int last, void *self);
    static void streamState(pa_stream *stream, void *self);
    static void streamWants(pa_stream *stream, std::size_t bytes, void *self);
    static void releaseDue(pa_mainloop_api *api, pa_time_event *event, const struct timeval *, void *self);

    pa_threaded_mainloop *loop;
    pa_context *context = nullptr;
    pa_stream *stream = nullptr;
    pa_time_event *release = nullptr;
    pa_sample_spec device{};      // the default device's format, once known
    pa_channel_map deviceMap{};
    bool deviceKnown = false;
    bool wanted = false;          // calling goes on
    bool everReady = false;        // a server was reached since the program started
    bool reported = false;         // the missing server was said
    bool heardSinceReport = false; // a recording sounded since then
    ClipPtr current;              // what is sounding, at the stream's rate
    std::size_t position = 0;
    bool starting = false;
    std::vector<std::int16_t> frames;
    std::atomic<int> rate{0};
};
