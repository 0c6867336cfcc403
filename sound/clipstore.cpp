#include "clipstore.h"

#include "gamestate.h"
#include "playwave.h"
#include "wavedecoder.h"

#include <QMutexLocker>

ClipStore::~ClipStore()
{
    waitForPreload();
}

ClipPtr ClipStore::clip(const QString &path, int rate)
{
    {
        const QMutexLocker locked(&lock);
        const auto found = clips.constFind(path);
        // A file that did not decode at one rate will not at another.
        if (found != clips.constEnd() && (!found->clip || found->rate == rate || rate == 0))
            return found->clip;
    }
    ClipPtr decoded = WaveDecoder::decodeFile(path, rate);
    const QMutexLocker locked(&lock);
    clips.insert(path, Entry{rate, decoded});
    return decoded;
}

void ClipStore::preload(const QString &directory, int rate)
{
    waitForPreload();
    loader = std::thread([this, directory, rate] {
        for (int n = 1; n <= GameState::Numbers; ++n)
            clip(wavePath(directory, numberFileName(n)), rate);
        clip(wavePath(directory, QStringLiteral("program.wav")), rate);
    });
}

void ClipStore::waitForPreload()
{
    if (loader.joinable())
        loader.join();
}

int ClipStore::size() const
{
    const QMutexLocker locked(&lock);
    return int(clips.size());
}
