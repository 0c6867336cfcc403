#include "recordfile.h"

#include "atomicfile.h"
#include "gamerecord.h"
#include "version.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QString FileName = QStringLiteral("game.txt");

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error)).toLower();
}

void say(const QString &text)
{
    std::fprintf(stderr, "%s: %s\n", version::Command, text.toLocal8Bit().constData());
}
} // namespace

RecordFile::RecordFile(QString where)
    : folder(std::move(where))
    , file(folder + QLatin1Char('/') + FileName)
    , writer(&RecordFile::writeLoop, this)
{
}

RecordFile::~RecordFile()
{
    {
        std::lock_guard<std::mutex> guard(lock);
        stopping = true;
    }
    wake.notify_one();
    writer.join();
}

QString RecordFile::defaultFolder()
{
    return defaultStateFolder();
}

bool RecordFile::interrupted(GameRecord &record)
{
    const QByteArray name = QFile::encodeName(file);
    struct stat info {};
    if (::lstat(name.constData(), &info) != 0)
        return false; // no game was left
    auto moveAside = [&](const QString &why) {
        QString error;
        if (::moveAside(file, error))
            say(QStringLiteral("the game record %1 cannot be resumed (%2); moved aside to %3")
                    .arg(file, why, file + QStringLiteral(".bad")));
        else
            say(QStringLiteral("the game record %1 cannot be resumed (%2) nor moved aside (%3)").arg(file, why, error));
        return false;
    };
    if (S_ISDIR(info.st_mode))
        return moveAside(QStringLiteral("a folder, not a file"));
    if (!S_ISREG(info.st_mode))
        return moveAside(QStringLiteral("not a regular file"));
    if (info.st_size > GameRecord::MaxBytes)
        return moveAside(QStringLiteral("too large to be a game record"));

    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return moveAside(systemError(errno));
    QByteArray text(GameRecord::MaxBytes + 1, Qt::Uninitialized);
    qsizetype got = 0;
    while (got < text.size()) {
        const ssize_t n = ::read(fd, text.data() + got, size_t(text.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            return moveAside(systemError(error));
        }
        if (n == 0)
            break;
        got += n;
    }
    ::close(fd);
    text.truncate(got);

    QString why;
    GameRecord read;
    switch (GameRecord::read(text, read, why)) {
    case GameRecord::Reading::Read:
        record = std::move(read);
        return record.inProgress();
    case GameRecord::Reading::Newer:
        kept = false;
        say(QStringLiteral("the game record %1 is %2; it is left as it is, and this game is not kept")
                .arg(file, why));
        return false;
    case GameRecord::Reading::Damaged:
        break;
    }
    return moveAside(why);
}

void RecordFile::keep(const GameRecord &record)
{
    if (!kept)
        return;
    {
        std::lock_guard<std::mutex> guard(lock);
        pending = record;
        hasPending = true;
    }
    wake.notify_one();
}

void RecordFile::writeLoop()
{
    std::unique_lock<std::mutex> guard(lock);
    for (;;) {
        wake.wait(guard, [this] { return hasPending || stopping; });
        if (!hasPending)
            return; // stopping, with everything written
        const GameRecord record = std::move(pending);
        hasPending = false;
        guard.unlock();
        const QByteArray bytes = record.text();
        QString why;
        const bool written = write(bytes, why);
        if (!written && !failed) // said once until a write succeeds again
            say(QStringLiteral("the game cannot be kept in %1 (%2); it goes on, but a crash would lose it")
                    .arg(file, why));
        failed = !written;
        guard.lock();
    }
}

bool RecordFile::write(const QByteArray &bytes, QString &why)
{
    return makeStateFolder(folder, why) && writeAtomically(file, bytes, why);
}
