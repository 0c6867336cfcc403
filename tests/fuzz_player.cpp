// libFuzzer target: any bytes, saved as a number's wave file, handed to the player layer
// as a call would hand them. Nothing may crash, hang or leak; whatever plays is bounded.
#include "clipstore.h"
#include "fakeoutput.h"
#include "playwave.h"
#include "recordings.h"
#include "waveplayer.h"
#include "wavedecoder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {
constexpr int OutputRate = 48000;

class CheckingOutput : public AudioOutput
{
public:
    int sampleRate() const override { return OutputRate; }
    void play(const ClipPtr &clip) override
    {
        const std::size_t longest = std::size_t(WaveDecoder::MaxMinutes) * 60 * OutputRate * 2;
        if (!clip || clip->rate != OutputRate || clip->samples.empty() || clip->samples.size() > longest)
            std::abort();
        ++plays; // on the store's thread, read after it has finished
    }
    void setReady(bool) override {}
    void stop() override {}
    long plays = 0;
};
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // In memory where the system offers it, so the file system does not set the pace.
    static QTemporaryDir folder(QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm/tk-fuzz-XXXXXX")
                                                                          : QDir::tempPath() + QStringLiteral("/tk-fuzz-XXXXXX"));
    static const QString path = wavePath(folder.path(), QStringLiteral("45.wav"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    ClipStore store;
    CheckingOutput output;
    std::atomic<unsigned> requests{0};
    WavePlayer player(store, output, requests);
    player.setDeviceType(WavePlayer::WaveAudio);
    // The first call reads the file in the background; the second finds it read, or (when
    // long) reads it again. Each time the store has done its work before going on.
    playwave(player, path);
    waitForStore(store);
    playwave(player, path, true);
    waitForStore(store);
    return 0;
}
