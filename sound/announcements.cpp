#include "announcements.h"

#include "playwave.h"
#include "recordings.h"

Announcements::Announcements(ClipStore &store, AudioOutput &output, const QString &programDirectory)
    : output(output)
    , directory(programDirectory)
    , mmplayer(store, output, requests)
    , MMPlayWav(store, output, requests)
{
}

void Announcements::prepare()
{
    mmplayer.setDeviceType(WavePlayer::WaveAudio);
}

void Announcements::announce(std::int16_t n)
{
    greeting = false;
    playwave(mmplayer, wavePath(directory, numberFileName(n)));
}

void Announcements::setCalling(bool calling)
{
    output.setReady(calling);
}

// The sound switch governs the numbers only: the greeting, when it is what sounds, plays on.
void Announcements::hush()
{
    if (greeting)
        return;
    ++requests; // a long recording still being read stays silent too
    output.stop();
}

void Announcements::greet()
{
    greeting = true;
    MMPlayWav.setDeviceType(WavePlayer::WaveAudio);
    playwave(MMPlayWav, wavePath(directory, greetingFileName()), true);
}
