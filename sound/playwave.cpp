#include "playwave.h"

#include "waveplayer.h"

void playwave(WavePlayer &player, const QString &path, bool lowerCaseWords)
{
    player.setFileName(path);
    if (lowerCaseWords) {
        player.setCommand(QStringLiteral("open"));
        player.setCommand(QStringLiteral("sound"));
        player.setCommand(QStringLiteral("close"));
    } else {
        player.setCommand(QStringLiteral("Open"));
        player.setCommand(QStringLiteral("Sound"));
        player.setCommand(QStringLiteral("Close"));
    }
}
