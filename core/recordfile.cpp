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
// What the lock file says for the next run when this one could no longer keep its game.
const QByteArray BehindNote = QByteArrayLiteral("behind");
const QByteArray KeptNote = QByteArrayLiteral("kept");

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error)).toLower();
}

// One line on the error output; what came from a file cannot act on the terminal.
void say(const QString &text)
{
    std::fprintf(stderr, "%s: %s\n", version::Command, printable(text).toLocal8Bit().constData());
}
} // namespace

RecordFile::RecordFile(QString where, QObject *parent)
    : QObject(parent)
    , folder(std::move(where))
    , file(folder + QLatin1Char('/') + FileName)
{
}

RecordFile::~RecordFile()
{
    {
        std::lock_guard<std::mutex> guard(lock);
        stopping = true;
    }
    wake.notify_all();
    for (std::thread &writer : writers)
        writer.join();
}

QString RecordFile::defaultFolder()
{
    return defaultStateFolder();
}

// Takes the folder's lock the first time the record is used. A caller refused it keeps
// nothing, so two callers never write one record in turn.
bool RecordFile::ownFolder()
{
    if (folderState != Folder::Unknown)
        return folderState == Folder::Held;
    QString why;
    if (!folderLock.take(folder, why)) {
        folderState = Folder::Refused;
        kept = false;
        say(QStringLiteral("this game is not kept: %1").arg(why));
        setTrouble(why);
        return false;
    }
    folderState = Folder::Held;
    behindFound = folderLock.noteFound() == BehindNote;
    noteBehind = behindFound;
    // What a kill in the middle of a write left: no writer of this record is running now.
    // Matched by prefix: a name filter would start the regular-expression engine (half a
    // megabyte resident) at every start for one comparison.
    const QDir dir(folder);
    const QString stray = FileName + QStringLiteral(".new");
    const QStringList names = dir.entryList(QDir::Files | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        if (name.startsWith(stray))
            ::unlink(QFile::encodeName(dir.filePath(name)).constData());
    }
    return true;
}

bool RecordFile::interrupted(GameRecord &record)
{
    if (!ownFolder())
        return false;
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
        record.behind = behindFound;
        return record.inProgress();
    case GameRecord::Reading::Newer:
        kept = false;
        say(QStringLiteral("the game record %1 is %2; it is left as it is, and this game is not kept")
                .arg(file, why));
        setTrouble(QStringLiteral("%1 is %2").arg(file, why));
        return false;
    case GameRecord::Reading::Damaged:
        break;
    }
    return moveAside(why);
}

void RecordFile::keep(const GameRecord &record)
{
    if (!kept || !ownFolder())
        return;
    {
        std::lock_guard<std::mutex> guard(lock);
        pending = record;
        hasPending = true;
        ++handed;
        // Writers are started as the disk needs them: one on a quick disk, another only
        // while every one is still busy with an earlier record, none before the first.
        if (idle == 0 && writers.size() < std::size_t(Writers))
            writers.emplace_back(&RecordFile::writeLoop, this);
    }
    wake.notify_one();
}

void RecordFile::watch(QObject *context, std::function<void(const QString &why)> told)
{
    connect(this, &RecordFile::troubleChanged, context, told, Qt::QueuedConnection);
    std::lock_guard<std::mutex> guard(lock);
    if (!trouble.isEmpty())
        QMetaObject::invokeMethod(context, [told, why = trouble] { told(why); }, Qt::QueuedConnection);
}

void RecordFile::setTrouble(const QString &why)
{
    {
        std::lock_guard<std::mutex> guard(lock);
        if (trouble == why)
            return;
        trouble = why;
    }
    Q_EMIT troubleChanged(why);
}

void RecordFile::writeLoop()
{
    std::unique_lock<std::mutex> guard(lock);
    for (;;) {
        ++idle;
        wake.wait(guard, [this] { return hasPending || stopping; });
        --idle;
        if (!hasPending)
            return; // stopping, with everything written
        const GameRecord record = std::move(pending);
        const std::uint64_t seq = handed;
        hasPending = false;
        guard.unlock();

        QString why;
        AtomicWrite write(file);
        bool written = makeStateFolder(folder, why) && write.write(record.text(), why);
        bool current = true;
        if (written) {
            std::lock_guard<std::mutex> order(placing);
            current = seq > placed;
            if (current) {
                written = write.place(why);
                if (written)
                    placed = seq;
            } // else a newer record took its place first, and this one is dropped
        }
        if (written && current)
            written = write.flushFolder(why);
        if (current)
            report(seq, written, why);
        guard.lock();
    }
}

void RecordFile::report(std::uint64_t seq, bool written, const QString &why)
{
    bool changed = false;
    bool wasKept = true;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (seq <= reported)
            return; // a newer record's outcome was told already
        reported = seq;
        const QString now = written ? QString() : why;
        changed = now != trouble;
        wasKept = trouble.isEmpty();
        trouble = now;
    }
    // Said once when writing fails, and once when it works again.
    if (written && !wasKept)
        say(QStringLiteral("the game is kept in %1 again").arg(file));
    else if (!written && wasKept)
        say(QStringLiteral("the game cannot be kept: %1; it goes on, but a crash would lose it").arg(why));
    if (changed)
        Q_EMIT troubleChanged(written ? QString() : why);
    // The next run is told whether this record may be behind the game, however this one
    // ends; the newest outcome decides, whichever thread gets here last.
    std::lock_guard<std::mutex> guard(noting);
    bool behind = false;
    {
        std::lock_guard<std::mutex> current(lock);
        behind = !trouble.isEmpty();
    }
    if (behind != noteBehind && folderLock.leaveNote(behind ? BehindNote : KeptNote))
        noteBehind = behind;
}
