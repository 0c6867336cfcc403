#pragma once

#include "audiooutput.h"
#include "clipstore.h"
#include "soundlayer.h"
#include "waveplayer.h"

#include <QString>

// The caller's voice: the main window's player mmplayer speaks the numbers, the
// information window's player MMPlayWav the greeting, both from the program's directory
// and through one sound output. Switching the sound off cuts a number being spoken, never
// the greeting. Called on the window's thread; nothing here waits (see WavePlayer).
class Announcements : public SoundLayer
{
public:
    Announcements(ClipStore &store, AudioOutput &output, const QString &programDirectory);

    void prepare() override;
    void announce(std::int16_t n) override;
    void setCalling(bool calling) override;
    void hush() override;
    void greet() override;

private:
    AudioOutput &output;
    const QString directory;
    std::atomic<unsigned> requests{0};
    bool greeting = false; // the greeting was the last sound started, so Mute leaves it
    WavePlayer mmplayer;
    WavePlayer MMPlayWav;
};
