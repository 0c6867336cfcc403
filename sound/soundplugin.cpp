// The sound plugin: the recordings, the sound output and the voice, made when the program
// loads it.
#include "announcements.h"
#include "clipstore.h"
#include "pulseoutput.h"
#include "recordings.h"

namespace {
// Made before the voice that speaks through them, and gone after it.
struct PulseParts
{
    ClipStore clips;
    PulseOutput pulse;
};

class PulseSoundLayer : private PulseParts, public Announcements
{
public:
    explicit PulseSoundLayer(const QString &directory)
        : Announcements(clips, pulse, directory)
    {
        // Each time the device's rate becomes known, the recordings are made ready for it.
        pulse.rateChanged = [this, directory](int rate) { clips.preload(directory, rate); };
        pulse.convert = [this](const ClipPtr &clip, int rate) {
            clips.convert(clip, rate, [this, clip](const ClipPtr &done) { pulse.converted(clip, done); });
        };
        pulse.start();
    }

    ~PulseSoundLayer() override { clips.stop(); } // no background work outlives the voice
};
} // namespace

extern "C" Q_DECL_EXPORT SoundLayer *TK_SOUND_ENTRY(const QString &programDirectory)
{
    PulseOutput::keepCookieUnwritten(); // before the layer starts its threads
    return new PulseSoundLayer(recordingsDirectory(programDirectory));
}
