#include "waveplayer.h"

const QString WavePlayer::WaveAudio = QStringLiteral("WaveAudio");

WavePlayer::WavePlayer(ClipStore &store, AudioOutput &output)
    : store(store)
    , output(output)
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
        opened = store.clip(file, output.sampleRate());
        open = true;
    } else if (command.compare(QLatin1String("sound"), Qt::CaseInsensitive) == 0) {
        if (open && opened)
            output.play(opened);
    } else if (command.compare(QLatin1String("close"), Qt::CaseInsensitive) == 0) {
        open = false;
        opened.reset();
    }
}
