#pragma once

#include "seams.h"

#include <QLibrary>
#include <QString>

#include <functional>
#include <memory>

class SoundLayer;

// Stands in for the caller's voice until the sound plugin is loaded, once the window is
// on screen (or at the first use, if that comes sooner); then arrived hands the plugin's
// voice to whoever speaks through it, so no call passes through here afterwards. Without
// the plugin the calls go on in silence, and that is said once.
class LateVoice : public Announcer, public Greeter
{
public:
    explicit LateVoice(const QString &programDirectory);
    ~LateVoice() override;

    void load();
    // Run once, as soon as the plugin's voice exists.
    std::function<void(Announcer &voice)> arrived;

    void prepare() override;
    void announce(std::int16_t n) override;
    void setCalling(bool calling) override;
    void hush() override;
    void greet() override;

private:
    const QString directory;
    QLibrary plugin;
    std::unique_ptr<SoundLayer> layer;
    bool tried = false;
};
