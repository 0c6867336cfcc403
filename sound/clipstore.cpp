#include "clipstore.h"

#include "numbertext.h"
#include "playwave.h"
#include "wavedecoder.h"

ClipPtr ClipStore::clip(const QString &path)
{
    const auto found = clips.constFind(path);
    if (found != clips.constEnd())
        return found.value();
    ClipPtr decoded = WaveDecoder::decodeFile(path);
    clips.insert(path, decoded);
    return decoded;
}

void ClipStore::preload(const QString &directory)
{
    for (int n = 1; n <= 90; ++n)
        clip(wavePath(directory, plainNumberText(n) + QStringLiteral(".wav")));
    clip(wavePath(directory, QStringLiteral("program.wav")));
}
