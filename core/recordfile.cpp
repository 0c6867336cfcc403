#include "recordfile.h"

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
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    // By the XDG base directory rules a relative path is invalid and is ignored.
    if (state.isEmpty() || !QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QLatin1Char('/') + QLatin1String(version::Command);
}

bool RecordFile::interrupted(GameRecord &record)
{
    const QByteArray name = QFile::encodeName(file);
    struct stat info {};
    if (::lstat(name.constData(), &info) != 0)
        return false; // no game was left
    auto moveAside = [&](const QString &why) {
        const QString aside = file + QStringLiteral(".bad");
        if (std::rename(name.constData(), QFile::encodeName(aside).constData()) == 0)
            say(QStringLiteral("the game record %1 cannot be resumed (%2); moved aside to %3").arg(file, why, aside));
        else
            say(QStringLiteral("the game record %1 cannot be resumed (%2) nor moved aside (%3)")
                    .arg(file, why, systemError(errno)));
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

// Writes the new record beside the old one, flushes it to the disk, renames it over the
// old one and flushes the folder, so the rename itself survives a power cut.
bool RecordFile::write(const QByteArray &bytes, QString &why)
{
    const QByteArray dir = QFile::encodeName(folder);
    if (!QDir().mkpath(folder)) {
        why = QStringLiteral("the folder cannot be made");
        return false;
    }
    ::chmod(dir.constData(), 0700);
    const QByteArray target = QFile::encodeName(file);
    const QByteArray temporary = target + ".new";
    const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        why = systemError(errno);
        return false;
    }
    auto failWith = [&](int error) {
        ::close(fd);
        ::unlink(temporary.constData());
        why = systemError(error);
        return false;
    };
    if (::fchmod(fd, 0600) != 0)
        return failWith(errno);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return failWith(errno);
        done += n;
    }
    if (::fsync(fd) != 0)
        return failWith(errno);
    if (::close(fd) != 0) {
        why = systemError(errno);
        ::unlink(temporary.constData());
        return false;
    }
    if (std::rename(temporary.constData(), target.constData()) != 0) {
        why = systemError(errno);
        ::unlink(temporary.constData());
        return false;
    }
    const int folderFd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
    return true;
}
