#include "waveplayer.h"

const QString WavePlayer::WaveAudio = QStringLiteral("WaveAudio");

WavePlayer::WavePlayer(ClipStore &store, AudioOutput &output, std::atomic<unsigned> &requests)
    : store(store)
    , output(output)
    , requests(requests)
{
}

void WavePlayer::setDeviceType(const QString &type)
{
    device = type;
}

void WavePlayer::setFileName(const QString &path)
{
    file = path;
}

void WavePlayer::setCommand(const QString &command)
{
    if (command.compare(QLatin1String("open"), Qt::CaseInsensitive) == 0) {
        if (device.compare(WaveAudio, Qt::CaseInsensitive) != 0)
            return;
        opened = store.kept(file, output.sampleRate(), &later);
        open = true;
    } else if (command.compare(QLatin1String("sound"), Qt::CaseInsensitive) == 0) {
        if (!open)
            return;
        const unsigned mine = ++requests;
        if (opened) {
            output.play(opened);
        } else if (later) {
            // Converted for the device as it is when the reading starts, which may have
            // changed since the call.
            store.fetch(file, [this] { return output.sampleRate(); }, [this, mine](const ClipPtr &clip) {
                if (clip && requests == mine)
                    output.play(clip);
            });
        }
    } else if (command.compare(QLatin1String("close"), Qt::CaseInsensitive) == 0) {
        open = false;
        opened.reset();
    }
}
