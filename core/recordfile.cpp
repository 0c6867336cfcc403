#include "recordfile.h"

#include "gamerecord.h"
#include "version.h"

#include <QDir>
#include <QFile>

#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {
const QString FileName = QStringLiteral("game.txt");
// What the lock file says for the next run when this one could no longer keep its game.
const QByteArray BehindNote = QByteArrayLiteral("behind");
const QByteArray KeptNote = QByteArrayLiteral("kept");
const QByteArray EndingNote = QByteArrayLiteral("ending");

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

namespace {
// The lock file's note: "kept" or "behind" for the next run, and "ending" while this run
// writes its last records.
QByteArray noteText(bool behind, bool ending)
{
    return (behind ? BehindNote : KeptNote) + (ending ? QByteArray(" ") + EndingNote : QByteArray());
}
} // namespace

// Takes the folder's lock the first time the record is used. A caller refused it keeps
// nothing, so two callers never write one record in turn.
bool RecordFile::claim()
{
    if (folderState != Folder::Unknown)
        return folderState == Folder::Held;
    QString why;
    StateFolderLock::Taking taking = folderLock.take(folder, why);
    if (taking == StateFolderLock::Taking::HeldElsewhere
        && StateFolderLock::noteIn(folder).split(' ').contains(EndingNote)) {
        say(QStringLiteral("waiting for the caller that is ending to finish keeping its game"));
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(EndingWaitMs);
        while (taking == StateFolderLock::Taking::HeldElsewhere && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            taking = folderLock.take(folder, why);
        }
    }
    if (taking == StateFolderLock::Taking::HeldElsewhere) {
        folderState = Folder::Refused;
        kept = false;
        say(QStringLiteral("this game is not kept: %1").arg(why));
        setTrouble(why);
        return false;
    }
    if (taking == StateFolderLock::Taking::Failed) {
        folderState = Folder::Unusable;
        say(QStringLiteral("this game is not kept for now: %1; it is tried again at each call").arg(why));
        setTrouble(why);
        return false;
    }
    folderState = Folder::Held;
    const QList<QByteArray> found = folderLock.noteFound().split(' ');
    behindFound = found.value(0) == BehindNote;
    {
        std::lock_guard<std::mutex> guard(noting);
        noteBehind = behindFound;
        if (found.contains(EndingNote))
            leaveNote(behindFound); // the last run's "ending" is not this one's
    }
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

void RecordFile::ending()
{
    std::lock_guard<std::mutex> guard(noting);
    if (noteEnding)
        return;
    noteEnding = true;
    // Read by a caller starting now, while this process lives: no need to wait for the disk.
    folderLock.leaveNote(noteText(noteBehind, true), false);
}

// noting held.
void RecordFile::leaveNote(bool behind)
{
    if (folderLock.leaveNote(noteText(behind, noteEnding)))
        noteBehind = behind;
}

bool RecordFile::interrupted(GameRecord &record)
{
    if (claim())
        return readLeft(record, true);
    // A folder whose lock cannot be used is no other caller's: the game waiting there is
    // the host's, offered as usual, and kept once the folder can be used again.
    return folderState == Folder::Unusable && readLeft(record, false);
}

// The lock was first taken by a writer, the folder having been unusable at start: a game an
// earlier run left there is about to be replaced by this one. Called with placing held.
void RecordFile::tookLate()
{
    if (readAtStart)
        return; // offered at start, and the host chose
    QFile waiting(file);
    if (!waiting.open(QIODevice::ReadOnly))
        return;
    GameRecord left;
    QString why;
    if (GameRecord::read(waiting.read(GameRecord::MaxBytes + 1), left, why) == GameRecord::Reading::Read
        && left.inProgress() && !left.calls.empty())
        say(QStringLiteral("the game left in progress in %1 (%2 numbers called, the last was %3) is replaced by this one")
                .arg(file)
                .arg(left.callcount)
                .arg(left.calls.back().number));
}

bool RecordFile::readLeft(GameRecord &record, bool mayMove)
{
    const QByteArray name = QFile::encodeName(file);
    struct stat info {};
    if (::lstat(name.constData(), &info) != 0)
        return false; // no game was left
    readAtStart = true;
    auto moveAside = [&](const QString &why) {
        QString error;
        if (!mayMove)
            say(QStringLiteral("the game record %1 cannot be resumed (%2)").arg(file, why));
        else if (::moveAside(file, error))
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
    if (folderState == Folder::Unknown)
        claim();
    if (!kept || folderState == Folder::Refused || refused.load())
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
    // Told from the writers' threads after their locks are let go, two words can arrive
    // in either order: an older one than the last told is dropped, so the last word the
    // host gets is always the keeper's own.
    auto newest = std::make_shared<quint64>(0);
    auto tell = [told = std::move(told), newest](quint64 change, const QString &why) {
        if (change <= *newest)
            return;
        *newest = change;
        told(why);
    };
    connect(this, &RecordFile::troubleChanged, context, tell, Qt::QueuedConnection);
    std::lock_guard<std::mutex> guard(lock);
    if (!trouble.isEmpty())
        QMetaObject::invokeMethod(
            context, [tell, change = changes, why = trouble] { tell(change, why); }, Qt::QueuedConnection);
}

void RecordFile::setTrouble(const QString &why)
{
    quint64 change = 0;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (trouble == why)
            return;
        trouble = why;
        change = ++changes;
    }
    Q_EMIT troubleChanged(change, why);
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
                // Still this caller's folder: the lock held on the file now at its path,
                // taken again if it was removed, taken at last if it could not be at start.
                const bool wasHeld = folderLock.held();
                bool elsewhere = false;
                written = folderLock.hold(folder, why, elsewhere);
                if (elsewhere)
                    refused = true; // another caller keeps its game here now: this one stops
                if (written && !wasHeld)
                    tookLate();
                if (written)
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
    quint64 change = 0;
    bool wasKept = true;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (seq <= reported)
            return; // a newer record's outcome was told already
        reported = seq;
        const QString now = written ? QString() : why;
        wasKept = trouble.isEmpty();
        if (now != trouble)
            change = ++changes;
        trouble = now;
    }
    // Said once when writing fails, and once when it works again.
    if (written && !wasKept)
        say(QStringLiteral("the game is kept in %1 again").arg(file));
    else if (!written && wasKept)
        say(QStringLiteral("the game cannot be kept: %1; it goes on, but a crash would lose it").arg(why));
    if (change != 0)
        Q_EMIT troubleChanged(change, written ? QString() : why);
    // The next run is told whether this record may be behind the game, however this one
    // ends; the newest outcome decides, whichever thread gets here last.
    std::lock_guard<std::mutex> guard(noting);
    bool behind = false;
    {
        std::lock_guard<std::mutex> current(lock);
        behind = !trouble.isEmpty();
    }
    if (behind != noteBehind)
        leaveNote(behind);
}
