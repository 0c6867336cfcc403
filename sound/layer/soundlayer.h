#pragma once

#include "seams.h"

#include <QString>

// The sound layer as the program loads it, once its window is on screen: the libraries
// that decode, resample and play are not needed for the first paint. This header is the
// whole contract between the program and the plugin; both include it.
class SoundLayer : public Announcer, public Greeter
{
public:
    ~SoundLayer() override = default;
};

// The plugin's entry point, given the program's own folder. The plugin defines it; the
// program finds it by this name and calls it through a pointer of this very type.
#define TK_SOUND_ENTRY tkCreateSoundLayer
extern "C" SoundLayer *TK_SOUND_ENTRY(const QString &programDirectory);
using CreateSoundLayer = decltype(&TK_SOUND_ENTRY);
#define TK_NAME_OF(entry) #entry
#define TK_SYMBOL_OF(entry) TK_NAME_OF(entry)
inline constexpr const char *CreateSoundLayerSymbol = TK_SYMBOL_OF(TK_SOUND_ENTRY);
