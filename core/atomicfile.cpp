#include "atomicfile.h"

#include "version.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error)).toLower();
}

QString parentOf(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QStringLiteral(".");
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

// Flushes a folder, so that a name made, renamed or removed in it survives a power cut.
bool flushFolder(const QString &folder, QString &why)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        why = QStringLiteral("the folder %1 cannot be opened to flush it (%2)").arg(printable(folder), systemError(errno));
        return false;
    }
    int result = ::fsync(fd);
    // Some file systems cannot flush a folder at all, and say so; there is nothing to flush.
    if (result != 0 && (errno == EINVAL || errno == ENOTSUP))
        result = 0;
    const int error = errno;
    ::close(fd);
    if (result != 0) {
        why = QStringLiteral("the folder %1 cannot be flushed to the disk (%2)").arg(printable(folder), systemError(error));
        return false;
    }
    return true;
}

bool writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        done += n;
    }
    return true;
}

std::mutex heldLock;
std::vector<QString> heldFolders; // guarded by heldLock

QString folderKey(const QString &folder)
{
    return QDir::cleanPath(QDir(folder).absolutePath());
}
} // namespace

QString defaultStateFolder()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    // By the XDG base directory rules a relative path is invalid and is ignored.
    if (state.isEmpty() || !QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QLatin1Char('/') + QLatin1String(version::Command);
}

bool makeStateFolder(const QString &folder, QString &why)
{
    const QString clean = QDir::cleanPath(QDir(folder).absolutePath());
    // The missing folders, the innermost first.
    std::vector<QString> missing;
    for (QString at = clean;; at = parentOf(at)) {
        struct stat info {};
        if (::stat(QFile::encodeName(at).constData(), &info) == 0)
            break;
        if (errno == ENOTDIR) {
            why = QStringLiteral("a file lies where the folder %1 should be").arg(printable(at));
            return false;
        }
        if (errno != ENOENT) {
            why = QStringLiteral("the folder %1 cannot be reached (%2)").arg(printable(at), systemError(errno));
            return false;
        }
        missing.push_back(at);
        if (at == QLatin1String("/"))
            break;
    }
    for (auto at = missing.rbegin(); at != missing.rend(); ++at) {
        if (::mkdir(QFile::encodeName(*at).constData(), 0700) != 0 && errno != EEXIST) {
            why = QStringLiteral("the folder %1 cannot be made (%2)").arg(printable(*at), systemError(errno));
            return false;
        }
        // A new folder is only there after a power cut once its parent is flushed.
        if (!flushFolder(parentOf(*at), why))
            return false;
    }
    struct stat info {};
    const QByteArray name = QFile::encodeName(clean);
    if (::stat(name.constData(), &info) != 0) {
        why = QStringLiteral("the folder %1 cannot be reached (%2)").arg(printable(clean), systemError(errno));
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        why = QStringLiteral("%1 is a file, not a folder").arg(printable(clean));
        return false;
    }
    // Private to the user, also when an earlier version or the user made it otherwise.
    if ((info.st_mode & 07777) != 0700 && info.st_uid == ::geteuid())
        ::chmod(name.constData(), 0700);
    return true;
}

AtomicWrite::AtomicWrite(QString path)
    : path(std::move(path))
{
}

AtomicWrite::~AtomicWrite()
{
    if (!temporary.isEmpty())
        ::unlink(temporary.constData());
}

bool AtomicWrite::write(const QByteArray &bytes, QString &why, mode_t mode)
{
    // A unique name, made with O_EXCL: whatever a crash left beside the file (a file, a
    // folder, a link of the same kind of name) is never written through or in the way.
    QByteArray name = QFile::encodeName(path) + ".new-XXXXXX";
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        why = QStringLiteral("no new file can be made beside %1 (%2)").arg(printable(path), systemError(errno));
        return false;
    }
    temporary = name;
    auto fail = [&](const QString &what, int error) {
        ::unlink(temporary.constData());
        temporary.clear();
        why = what.arg(printable(path), systemError(error));
        return false;
    };
    if (mode != 0600 && ::fchmod(fd, mode) != 0) {
        const int error = errno;
        ::close(fd);
        return fail(QStringLiteral("the new %1 cannot be given its permissions (%2)"), error);
    }
    if (!writeAll(fd, bytes)) {
        const int error = errno;
        ::close(fd);
        return fail(QStringLiteral("the new %1 cannot be written (%2)"), error);
    }
    if (::fsync(fd) != 0) {
        const int error = errno;
        ::close(fd);
        return fail(QStringLiteral("the new %1 cannot be flushed to the disk (%2)"), error);
    }
    if (::close(fd) != 0)
        return fail(QStringLiteral("the new %1 cannot be closed (%2)"), errno);
    return true;
}

bool AtomicWrite::place(QString &why)
{
    if (temporary.isEmpty()) {
        why = QStringLiteral("nothing was written to put in place of %1").arg(printable(path));
        return false;
    }
    const bool placed = ::rename(temporary.constData(), QFile::encodeName(path).constData()) == 0;
    if (!placed) {
        why = QStringLiteral("the new %1 cannot take the old one's place (%2)").arg(printable(path), systemError(errno));
        ::unlink(temporary.constData());
    }
    temporary.clear();
    return placed;
}

bool AtomicWrite::flushFolder(QString &why)
{
    // The rename itself only survives a power cut once the folder is flushed; until then
    // the disk may still hold the old file, so a failure here is a failed write.
    return ::flushFolder(parentOf(path), why);
}

bool writeAtomically(const QString &path, const QByteArray &bytes, QString &why, mode_t mode)
{
    AtomicWrite write(path);
    return write.write(bytes, why, mode) && write.place(why) && write.flushFolder(why);
}

bool moveAside(const QString &path, QString &why)
{
    const QString aside = path + QStringLiteral(".bad");
    if (::rename(QFile::encodeName(path).constData(), QFile::encodeName(aside).constData()) != 0) {
        why = systemError(errno);
        return false;
    }
    // At worst a lost flush brings the damaged file back, to be moved aside again.
    QString ignored;
    flushFolder(parentOf(path), ignored);
    return true;
}

StateFolderLock::~StateFolderLock()
{
    if (fd < 0)
        return;
    {
        std::lock_guard<std::mutex> guard(heldLock);
        const auto at = std::find(heldFolders.begin(), heldFolders.end(), folderKey(where));
        if (at != heldFolders.end())
            heldFolders.erase(at);
    }
    ::close(fd); // lets the lock go
}

namespace {
QByteArray lockPath(const QString &folder)
{
    return QFile::encodeName(folder + QStringLiteral("/lock"));
}

QByteArray noteOf(int fd)
{
    char note[StateFolderLock::NoteBytes + 1] = {};
    const ssize_t got = ::pread(fd, note, StateFolderLock::NoteBytes + 1, 0);
    if (got > 0 && got <= StateFolderLock::NoteBytes)
        return QByteArray(note, int(got)).trimmed();
    return {};
}

bool writeNote(int fd, const QByteArray &note, bool durable = true)
{
    if (note.size() >= StateFolderLock::NoteBytes)
        return false;
    QByteArray bytes = note.leftJustified(StateFolderLock::NoteBytes - 1, ' ') + '\n';
    if (::pwrite(fd, bytes.constData(), size_t(bytes.size()), 0) != bytes.size())
        return false;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && info.st_size > StateFolderLock::NoteBytes
        && ::ftruncate(fd, StateFolderLock::NoteBytes) != 0)
        return false;
    return !durable || ::fdatasync(fd) == 0;
}
} // namespace

StateFolderLock::Taking StateFolderLock::take(const QString &folder, QString &why)
{
    std::lock_guard<std::mutex> hold(guard);
    if (fd >= 0)
        return Taking::Taken;
    return takeLocked(folder, why);
}

StateFolderLock::Taking StateFolderLock::takeLocked(const QString &folder, QString &why)
{
    if (!makeStateFolder(folder, why))
        return Taking::Failed;
    const QByteArray name = lockPath(folder);
    // Non-blocking: a lock file replaced by a fifo must not hold the start-up. Read-only
    // where the folder or the disk is: the lock still works, only notes cannot be left.
    const int flags = O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    int file = ::open(name.constData(), O_RDWR | flags, 0600);
    const bool canWrite = file >= 0;
    if (file < 0 && (errno == EACCES || errno == EROFS))
        file = ::open(name.constData(), O_RDONLY | flags, 0600);
    if (file < 0) {
        why = QStringLiteral("the lock %1 cannot be opened (%2)").arg(printable(QFile::decodeName(name)), systemError(errno));
        return Taking::Failed;
    }
    if (::flock(file, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(file);
        if (error == EWOULDBLOCK) {
            why = QStringLiteral("another caller is keeping its game in %1").arg(printable(folder));
            return Taking::HeldElsewhere;
        }
        why = QStringLiteral("the lock %1 cannot be taken (%2)").arg(printable(QFile::decodeName(name)), systemError(error));
        return Taking::Failed;
    }
    struct stat info {};
    if (::fstat(file, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(file);
        why = QStringLiteral("the lock %1 is not a file").arg(printable(QFile::decodeName(name)));
        return Taking::Failed;
    }
    const bool first = fd < 0;
    if (!first)
        ::close(fd); // the lock on a file no longer at the path holds nothing
    fd = file;
    writable = canWrite;
    where = folder;
    if (first) {
        found = noteOf(fd);
        left = found;
    }
    // The note's bytes are there from the start, so a later note overwrites them in place.
    if (writable && info.st_size != NoteBytes)
        writeNote(fd, left);
    if (first) {
        std::lock_guard<std::mutex> registry(heldLock);
        heldFolders.push_back(folderKey(folder));
    }
    return Taking::Taken;
}

bool StateFolderLock::hold(const QString &folder, QString &why, bool &elsewhere)
{
    std::lock_guard<std::mutex> hold(guard);
    elsewhere = false;
    if (fd >= 0) {
        // The same file, not a new one made at the path after ours was removed: a lock on
        // a removed file keeps out nobody.
        struct stat mine {};
        struct stat there {};
        if (::fstat(fd, &mine) == 0 && ::lstat(lockPath(folder).constData(), &there) == 0 && mine.st_dev == there.st_dev
            && mine.st_ino == there.st_ino)
            return true;
    }
    const Taking taking = takeLocked(folder, why);
    elsewhere = taking == Taking::HeldElsewhere;
    return taking == Taking::Taken;
}

bool StateFolderLock::held() const
{
    std::lock_guard<std::mutex> hold(guard);
    return fd >= 0;
}

QByteArray StateFolderLock::noteFound() const
{
    std::lock_guard<std::mutex> hold(guard);
    return found;
}

bool StateFolderLock::leaveNote(const QByteArray &note, bool durable)
{
    std::lock_guard<std::mutex> hold(guard);
    if (fd < 0 || !writable || note.size() >= NoteBytes)
        return false;
    left = note;
    return writeNote(fd, note, durable);
}

QByteArray StateFolderLock::noteIn(const QString &folder)
{
    const int file = ::open(lockPath(folder).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (file < 0)
        return {};
    struct stat info {};
    QByteArray note;
    if (::fstat(file, &info) == 0 && S_ISREG(info.st_mode))
        note = noteOf(file);
    ::close(file);
    return note;
}

bool holdsStateFolder(const QString &folder)
{
    const QString key = folderKey(folder);
    std::lock_guard<std::mutex> guard(heldLock);
    return std::find(heldFolders.begin(), heldFolders.end(), key) != heldFolders.end();
}

bool holdsStateFolder()
{
    return holdsStateFolder(defaultStateFolder());
}

QString printable(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7f || (u >= 0x80 && u < 0xa0))
            out += QStringLiteral("\\x%1").arg(unsigned(u), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}
