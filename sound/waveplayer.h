#pragma once

#include "audiooutput.h"
#include "clipstore.h"

#include <QString>

// Our stand-in for a multimedia player control driven by its settings: a device type, a
// file name and command words ("Open", "Sound", "Close", in any case). Only the wave-audio
// device plays. The sound goes on after "Close" until the recording ends. A missing or
// unplayable file is silent and reports nothing.
class WavePlayer
{
public:
    static const QString WaveAudio;

    WavePlayer(ClipStore &store, AudioOutput &output);

    void setDeviceType(const QString &type);
    void setFileName(const QString &path);
    void setCommand(const QString &command);

private:
    ClipStore &store;
    AudioOutput &output;
    QString device;
    QString file;
    bool open = false;
    ClipPtr opened;
};
