#pragma once

#include "clip.h"

// Where decoded recordings are heard.
class AudioOutput
{
public:
    virtual ~AudioOutput() = default;
    // The rate recordings are best converted to ahead of time; 0 while it is not known.
    virtual int sampleRate() const = 0;
    // Starts the clip at once, cutting off whatever is still sounding.
    virtual void play(const ClipPtr &clip) = 0;
    // Calling is on: keep the output open between announcements. Off: let it go once
    // the last sound has ended.
    virtual void setReady(bool ready) = 0;
    // Cuts off whatever is sounding.
    virtual void stop() = 0;
};
