#pragma once

#include "audiooutput.h"
#include "clipstore.h"

#include <QString>

#include <atomic>

// Our stand-in for a multimedia player control driven by its settings: a device type, a
// file name and command words ("Open", "Sound", "Close", in any case). Only the wave-audio
// device plays. The sound goes on after "Close" until the recording ends. A missing or
// unplayable file is silent; the store names it once on the error output. A long
// recording is decoded in the background and starts once it is ready, unless another
// sound was asked for, or silence, in the meantime. Used on the window's thread, where it
// never waits: it plays what the store holds and leaves any reading to the store's thread.
class WavePlayer
{
public:
    static const QString WaveAudio;

    // requests counts every sound and silence asked of the output, by any player.
    WavePlayer(ClipStore &store, AudioOutput &output, std::atomic<unsigned> &requests);

    void setDeviceType(const QString &type);
    void setFileName(const QString &path);
    void setCommand(const QString &command);

private:
    ClipStore &store;
    AudioOutput &output;
    std::atomic<unsigned> &requests;
    QString device;
    QString file;
    bool open = false;
    ClipPtr opened;
    bool later = false;
};
