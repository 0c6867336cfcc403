#include "playwave.h"

#include "numbertext.h"
#include "waveplayer.h"

#include <QDir>

QString wavePath(const QString &directory, const QString &fileName)
{
    return directory + QDir::separator() + fileName;
}

QString recordingsDirectory(const QString &programDirectory)
{
    const QDir own(programDirectory);
    if (own.exists(numberFileName(1)) || own.exists(QStringLiteral("program.wav")))
        return programDirectory;
    const QString installed = QDir::cleanPath(own.filePath(QStringLiteral(TK_INSTALLED_RECORDINGS)));
    return QDir(installed).exists() ? installed : programDirectory;
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
