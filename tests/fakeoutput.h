#pragma once

#include "audiooutput.h"

#include <vector>

// An output that keeps what it was given to play.
class FakeOutput : public AudioOutput
{
public:
    int sampleRate() const override { return rate; }
    void play(const ClipPtr &clip) override { plays.push_back(clip); }
    void setReady(bool on) override { ready = on; }
    void stop() override { ++stops; }

    int rate = 22050;
    bool ready = false;
    int stops = 0;
    std::vector<ClipPtr> plays;
};
