// The sound plugin: the recordings, the sound output and the voice, made when the program
// loads it.
#include "announcements.h"
#include "clipstore.h"
#include "playwave.h"
#include "pulseoutput.h"
#include "soundlayer.h"

namespace {
class PulseSoundLayer : public SoundLayer
{
public:
    explicit PulseSoundLayer(const QString &directory)
        : voice(clips, output, directory)
    {
        // Each time the device's rate becomes known, the recordings are made ready for it.
        output.rateChanged = [this, directory](int rate) { clips.preload(directory, rate); };
        output.start();
    }

    ~PulseSoundLayer() override { clips.stop(); } // no background work outlives the voice

    void prepare() override { voice.prepare(); }
    void announce(std::int16_t n) override { voice.announce(n); }
    void setCalling(bool calling) override { voice.setCalling(calling); }
    void hush() override { voice.hush(); }
    void greet() override { voice.greet(); }

private:
    ClipStore clips;
    PulseOutput output;
    Announcements voice;
};
} // namespace

extern "C" Q_DECL_EXPORT SoundLayer *TK_SOUND_ENTRY(const QString &programDirectory)
{
    PulseOutput::keepCookieUnwritten(); // before the layer starts its threads
    return new PulseSoundLayer(recordingsDirectory(programDirectory));
}
