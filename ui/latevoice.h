#pragma once

#include "seams.h"

#include <QLibrary>
#include <QString>

#include <memory>

class SoundLayer;

// The caller's voice, loaded from the sound plugin once the window is on screen (or at
// the first use, if that comes sooner). Without the plugin the calls go on in silence,
// and that is said once.
class LateVoice : public Announcer, public Greeter
{
public:
    explicit LateVoice(const QString &programDirectory);
    ~LateVoice() override;

    void load();

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
