#include "playwave.h"

#include "numbertext.h"
#include "waveplayer.h"

#include <QDir>

QString wavePath(const QString &directory, const QString &fileName)
{
    return directory + QDir::separator() + fileName;
}

QString numberFileName(int n)
{
    return plainNumberText(n) + QStringLiteral(".wav");
}

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
