#pragma once

#include "seams.h"

#include <QString>

// The sound layer as the program loads it, once its window is on screen: the libraries
// that decode, resample and play are not needed for the first paint.
class SoundLayer : public Announcer, public Greeter
{
public:
    ~SoundLayer() override = default;
};

// The entry point of the sound plugin, given the program's own folder.
using CreateSoundLayer = SoundLayer *(*)(const QString &directory);
inline constexpr const char *CreateSoundLayerSymbol = "tkCreateSoundLayer";
