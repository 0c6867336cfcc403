#include "latevoice.h"

#include "pluginfile.h"
#include "soundlayer.h"
#include "version.h"

LateVoice::LateVoice(const QString &programDirectory)
    : directory(programDirectory)
{
}

LateVoice::~LateVoice() = default;

void LateVoice::load()
{
    if (tried)
        return;
    tried = true;
    // The pointer's type is the declaration's own, so the compiler checks the call.
    if (loadPlugin(plugin, directory, QStringLiteral(TK_SOUND_PLUGIN))) {
        if (auto create = reinterpret_cast<CreateSoundLayer>(plugin.resolve(CreateSoundLayerSymbol))) {
            layer.reset(create(directory));
            if (arrived)
                arrived(*layer);
            return;
        }
    }
    qWarning("%s: the sound plugin could not be loaded (%s); numbers are shown but not heard", version::Command,
             qPrintable(plugin.errorString()));
}

void LateVoice::prepare()
{
    if (layer)
        layer->prepare();
}

void LateVoice::announce(std::int16_t n)
{
    load();
    if (layer)
        layer->announce(n);
}

void LateVoice::setCalling(bool calling)
{
    load();
    if (layer)
        layer->setCalling(calling);
}

void LateVoice::hush()
{
    if (layer)
        layer->hush();
}

void LateVoice::greet()
{
    load();
    if (layer)
        layer->greet();
}
