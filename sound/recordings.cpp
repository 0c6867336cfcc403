#include "recordings.h"

#include "gamestate.h"
#include "numbertext.h"

#include <QDir>

QString wavePath(const QString &directory, const QString &fileName)
{
    return directory + QDir::separator() + fileName;
}

QString recordingsDirectory(const QString &programDirectory)
{
    const QDir own(programDirectory);
    if (own.exists(numberFileName(1)) || own.exists(greetingFileName()))
        return programDirectory;
    const QString installed = QDir::cleanPath(own.filePath(QStringLiteral(TK_INSTALLED_RECORDINGS)));
    return QDir(installed).exists() ? installed : programDirectory;
}

QString numberFileName(int n)
{
    return plainNumberText(n) + QStringLiteral(".wav");
}

QString greetingFileName()
{
    return QStringLiteral("program.wav");
}

QStringList allRecordings(const QString &directory)
{
    QStringList files;
    for (int n = 1; n <= GameState::Numbers; ++n)
        files << wavePath(directory, numberFileName(n));
    files << wavePath(directory, greetingFileName());
    return files;
}
