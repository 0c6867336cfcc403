#include "pulseoutput.h"

#include "version.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QtGlobal>

#include <algorithm>
#include <cstring>

namespace {
// What the stream keeps queued while a recording sounds, and how much must have played
// before the server asks for more: short enough that a new announcement is not queued
// behind much of the last one, long enough that the feeding wakes the program rarely.
constexpr pa_usec_t TargetMicroseconds = 40000;
constexpr pa_usec_t RequestMicroseconds = 20000;

void done(pa_operation *operation)
{
    if (operation)
        pa_operation_unref(operation);
}

// The sound server's client library writes a login cookie into the user's configuration
// when it finds none there. This program writes nothing, so in that case it hands the
// library an all-zero cookie it can read but never write; same-user connections are let
// in by their credentials. An existing cookie, or one the user names, is kept.
} // namespace

void PulseOutput::keepCookieUnwritten()
{
    if (qEnvironmentVariableIsSet("PULSE_COOKIE"))
        return;
    const QString home = QDir::homePath();
    const QString config = qEnvironmentVariableIsEmpty("XDG_CONFIG_HOME") ? home + QStringLiteral("/.config")
                                                                          : qEnvironmentVariable("XDG_CONFIG_HOME");
    if (QFileInfo::exists(config + QStringLiteral("/pulse/cookie"))
        || QFileInfo::exists(home + QStringLiteral("/.pulse-cookie")))
        return;
    qputenv("PULSE_COOKIE", QByteArrayLiteral("/dev/zero"));
}

namespace {

class Locked
{
public:
    explicit Locked(pa_threaded_mainloop *loop) : loop(loop) { pa_threaded_mainloop_lock(loop); }
    ~Locked() { pa_threaded_mainloop_unlock(loop); }
    Locked(const Locked &) = delete;
    Locked &operator=(const Locked &) = delete;

private:
    pa_threaded_mainloop *loop;
};
} // namespace

PulseOutput::PulseOutput()
    : loop(pa_threaded_mainloop_new())
{
    pa_threaded_mainloop_set_name(loop, "sound");
    pa_threaded_mainloop_start(loop);
}

PulseOutput::~PulseOutput()
{
    {
        const Locked locked(loop);
        keepStream();
        closeStream();
        if (context) {
            pa_context_set_state_callback(context, nullptr, nullptr);
            pa_context_set_subscribe_callback(context, nullptr, nullptr);
            pa_context_disconnect(context);
        }
    }
    pa_threaded_mainloop_stop(loop);
    if (context)
        pa_context_unref(context);
    pa_threaded_mainloop_free(loop);
}

void PulseOutput::start()
{
    const Locked locked(loop);
    connectServer();
}

void PulseOutput::play(const ClipPtr &clip)
{
    const Locked locked(loop);
    if (current && stream && pa_stream_get_state(stream) == PA_STREAM_READY)
        done(pa_stream_flush(stream, nullptr, nullptr)); // cut off what still sounds
    current = clip;
    position = 0;
    starting = true;
    keepStream();
    startWhenReady();
}

void PulseOutput::startWhenReady()
{
    if (!serverReady())
        connectServer();
    else if (stream && pa_stream_get_state(stream) == PA_STREAM_READY)
        startClip();
    else
        openStream(); // once ready, the stream starts the clip itself
}

void PulseOutput::converted(const ClipPtr &from, const ClipPtr &clip)
{
    const Locked locked(loop);
    if (current != from || !starting)
        return; // stopped, or another sound asked for, in the meantime
    current = clip;
    startWhenReady();
}

void PulseOutput::setReady(bool ready)
{
    const Locked locked(loop);
    wanted = ready;
    if (!ready) {
        if (!current)
            releaseLater();
        return;
    }
    keepStream();
    if (!serverReady())
        connectServer();
    else
        openStream();
}

void PulseOutput::stop()
{
    const Locked locked(loop);
    if (!current && !stream)
        return;
    current.reset();
    if (stream && pa_stream_get_state(stream) == PA_STREAM_READY)
        done(pa_stream_flush(stream, nullptr, nullptr)); // what the server holds goes too
    if (!wanted)
        releaseLater();
}

bool PulseOutput::serverReady() const
{
    return context && pa_context_get_state(context) == PA_CONTEXT_READY;
}

void PulseOutput::connectServer()
{
    if (context && PA_CONTEXT_IS_GOOD(pa_context_get_state(context)))
        return; // connected, or on the way
    closeStream();
    if (context) {
        pa_context_set_state_callback(context, nullptr, nullptr);
        pa_context_set_subscribe_callback(context, nullptr, nullptr);
        pa_context_unref(context);
    }
    pa_proplist *about = pa_proplist_new();
    pa_proplist_sets(about, PA_PROP_APPLICATION_NAME, version::DisplayName);
    // The desktop entry's id and the theme icon's name, so mixers show the program as the
    // menus do.
    pa_proplist_sets(about, PA_PROP_APPLICATION_ID, version::AppId);
    pa_proplist_sets(about, PA_PROP_APPLICATION_ICON_NAME, version::AppId);
    context = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(loop), nullptr, about);
    pa_proplist_free(about);
    pa_context_set_state_callback(context, &PulseOutput::contextState, this);
    pa_context_set_subscribe_callback(context, &PulseOutput::contextEvent, this);
    if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        lost();
}

// Said once when there is no server from the start, and once per outage after the voice
// was heard; reconnecting attempts in between say nothing.
void PulseOutput::lost()
{
    if (!everReady && !reported)
        qWarning("%s: there is no sound server; numbers are shown but not heard until one is there", version::Command);
    else if (heardSinceReport)
        qWarning("%s: the sound server is gone; numbers are shown but not heard until it is back", version::Command);
    reported = true;
    heardSinceReport = false;
    deviceKnown = false;
}

void PulseOutput::contextState(pa_context *context, void *self)
{
    auto *out = static_cast<PulseOutput *>(self);
    switch (pa_context_get_state(context)) {
    case PA_CONTEXT_READY:
        out->everReady = true;
        done(pa_context_subscribe(context, pa_subscription_mask_t(PA_SUBSCRIPTION_MASK_SERVER | PA_SUBSCRIPTION_MASK_SINK),
                                  nullptr, nullptr));
        out->lookUpDefaultDevice();
        break;
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
        out->closeStream();
        out->lost();
        break;
    default:
        break;
    }
}

void PulseOutput::contextEvent(pa_context *, pa_subscription_event_type_t type, uint32_t, void *self)
{
    const auto facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
    const auto kind = type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
    // A new default device, or a device added or removed, may change the format.
    if (facility == PA_SUBSCRIPTION_EVENT_SERVER || kind != PA_SUBSCRIPTION_EVENT_CHANGE)
        static_cast<PulseOutput *>(self)->lookUpDefaultDevice();
}

void PulseOutput::lookUpDefaultDevice()
{
    done(pa_context_get_server_info(context, &PulseOutput::serverInfo, this));
}

void PulseOutput::serverInfo(pa_context *context, const pa_server_info *info, void *self)
{
    if (info && info->default_sink_name)
        done(pa_context_get_sink_info_by_name(context, info->default_sink_name, &PulseOutput::sinkInfo, self));
}

void PulseOutput::sinkInfo(pa_context *, const pa_sink_info *info, int last, void *self)
{
    if (!last && info)
        static_cast<PulseOutput *>(self)->deviceFound(*info);
}

void PulseOutput::deviceFound(const pa_sink_info &sink)
{
    const bool changed = !deviceKnown || sink.sample_spec.rate != device.rate
        || sink.sample_spec.channels != device.channels;
    device = sink.sample_spec;
    device.format = PA_SAMPLE_S16NE;
    deviceMap = sink.channel_map;
    deviceKnown = true;
    if (changed) {
        closeStream(); // a stream in the old format would be resampled by the server
        rate = int(device.rate);
        if (rateChanged)
            rateChanged(int(device.rate));
    }
    if (wanted || current)
        openStream();
}

void PulseOutput::openStream()
{
    if (!deviceKnown)
        return; // opened once the device's format is known
    if (stream && PA_STREAM_IS_GOOD(pa_stream_get_state(stream)))
        return;
    closeStream();
    stream = pa_stream_new(context, "Announcements", &device, &deviceMap);
    if (!stream)
        return;
    pa_stream_set_state_callback(stream, &PulseOutput::streamState, this);
    pa_stream_set_write_callback(stream, &PulseOutput::streamWants, this);
    pa_buffer_attr buffer;
    buffer.maxlength = std::uint32_t(-1);
    buffer.tlength = std::uint32_t(pa_usec_to_bytes(TargetMicroseconds, &device));
    buffer.prebuf = std::uint32_t(-1);
    buffer.minreq = std::uint32_t(pa_usec_to_bytes(RequestMicroseconds, &device));
    buffer.fragsize = std::uint32_t(-1);
    // No device named: the server plays on its default and moves the stream with it.
    if (pa_stream_connect_playback(stream, nullptr, &buffer, PA_STREAM_ADJUST_LATENCY, nullptr, nullptr) < 0)
        closeStream();
}

void PulseOutput::closeStream()
{
    if (!stream)
        return;
    pa_stream_set_state_callback(stream, nullptr, nullptr);
    pa_stream_set_write_callback(stream, nullptr, nullptr);
    if (PA_STREAM_IS_GOOD(pa_stream_get_state(stream)))
        pa_stream_disconnect(stream);
    pa_stream_unref(stream);
    stream = nullptr;
}

void PulseOutput::streamState(pa_stream *stream, void *self)
{
    auto *out = static_cast<PulseOutput *>(self);
    switch (pa_stream_get_state(stream)) {
    case PA_STREAM_READY:
        if (out->current && out->starting)
            out->startClip();
        break;
    case PA_STREAM_FAILED:
    case PA_STREAM_TERMINATED:
        // The device went away under it; the next announcement opens a new one.
        out->closeStream();
        break;
    default:
        break;
    }
}

void PulseOutput::startClip()
{
    if (current && current->rate != int(device.rate)) {
        // The device changed since the clip was made for it. Converting takes milliseconds,
        // too long to hold the lock: it is done elsewhere and comes back through converted.
        if (convert)
            convert(current, int(device.rate));
        else
            current.reset();
        return;
    }
    if (!current || current->samples.empty()) {
        current.reset();
        return;
    }
    feed(pa_stream_writable_size(stream));
    // A recording shorter than the start-up fill would otherwise wait for more.
    done(pa_stream_trigger(stream, nullptr, nullptr));
}

void PulseOutput::streamWants(pa_stream *, std::size_t bytes, void *self)
{
    static_cast<PulseOutput *>(self)->feed(bytes);
}

void PulseOutput::feed(std::size_t bytes)
{
    if (!current || !stream || bytes == std::size_t(-1))
        return;
    const std::size_t channels = device.channels;
    const std::size_t frameBytes = channels * sizeof(std::int16_t);
    const std::size_t count = std::min(bytes / frameBytes, current->samples.size() - position);
    if (count == 0)
        return;
    frames.resize(count * channels);
    for (std::size_t f = 0; f < count; ++f)
        std::fill_n(frames.begin() + std::ptrdiff_t(f * channels), channels, current->samples[position + f]);
    if (pa_stream_write(stream, frames.data(), count * frameBytes, nullptr, 0, PA_SEEK_RELATIVE) < 0)
        return;
    position += count;
    if (starting) {
        starting = false;
        heardSinceReport = true;
    }
    if (position >= current->samples.size()) {
        current.reset();
        if (!wanted)
            releaseLater();
    }
}

void PulseOutput::releaseLater()
{
    if (!stream || release)
        return;
    pa_mainloop_api *api = pa_threaded_mainloop_get_api(loop);
    timeval due;
    pa_timeval_add(pa_gettimeofday(&due), pa_usec_t(ReleaseMilliseconds) * PA_USEC_PER_MSEC);
    release = api->time_new(api, &due, &PulseOutput::releaseDue, this);
}

void PulseOutput::keepStream()
{
    if (!release)
        return;
    pa_mainloop_api *api = pa_threaded_mainloop_get_api(loop);
    api->time_free(release);
    release = nullptr;
}

void PulseOutput::releaseDue(pa_mainloop_api *, pa_time_event *, const struct timeval *, void *self)
{
    auto *out = static_cast<PulseOutput *>(self);
    out->keepStream();
    if (!out->wanted && !out->current)
        out->closeStream();
}
