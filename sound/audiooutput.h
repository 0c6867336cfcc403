#pragma once

#include "clip.h"

// Where decoded recordings are heard.
class AudioOutput
{
public:
    virtual ~AudioOutput() = default;
    // Starts the clip at once, cutting off whatever is still sounding.
    virtual void play(const ClipPtr &clip) = 0;
};
