#pragma once

#include <QByteArray>
#include <QString>

#include <mutex>

#include <sys/types.h>

// Files of the program's state folder written so that a crash, a kill or a power cut at any
// instant leaves the old file or the new one, never half of one. Each call blocks on the
// disk: call it from a thread that may wait.

// $XDG_STATE_HOME/tabro-kalvor, or ~/.local/state/tabro-kalvor when it is not set.
QString defaultStateFolder();

// Makes folder (0700) and any missing parents, each new one flushed through its parent.
bool makeStateFolder(const QString &folder, QString &why);
// Writes bytes to a uniquely named new file beside path, flushes it, renames it over path and
// flushes the folder; on any failure removes its temporary file, leaves path as it was, and
// says why in words for the host. A stray temporary of any type is never in the way.
// The folder must exist (makeStateFolder). The new file has the given permissions.
bool writeAtomically(const QString &path, const QByteArray &bytes, QString &why, mode_t mode = 0600);
// writeAtomically in its steps, for a writer with several writes going at once that must put
// only the newest in place: write() makes the flushed temporary, place() renames it over the
// path, flushFolder() makes the rename durable. A temporary not placed is removed.
class AtomicWrite
{
public:
    explicit AtomicWrite(QString path);
    ~AtomicWrite();
    AtomicWrite(const AtomicWrite &) = delete;
    AtomicWrite &operator=(const AtomicWrite &) = delete;

    bool write(const QByteArray &bytes, QString &why, mode_t mode = 0600);
    bool place(QString &why);
    bool flushFolder(QString &why);

private:
    QString path;
    QByteArray temporary; // empty once placed or removed
};

// Moves a damaged file aside (".bad" added, replacing an earlier one), flushing the folder.
bool moveAside(const QString &path, QString &why);

// One writer per state folder: a caller holds an exclusive advisory lock on the folder's
// "lock" file while it runs; the kernel lets it go when the process ends, however it ends.
// Safe to use from several threads.
class StateFolderLock
{
public:
    StateFolderLock() = default;
    ~StateFolderLock();
    StateFolderLock(const StateFolderLock &) = delete;
    StateFolderLock &operator=(const StateFolderLock &) = delete;

    enum class Taking {
        Taken,
        HeldElsewhere, // another caller holds the lock
        Failed,        // the folder or its lock cannot be used
    };
    // Makes the folder if needed and takes its lock without waiting; on failure, why.
    Taking take(const QString &folder, QString &why);
    // Before each write: true while this process holds the lock on the file that is at the
    // lock's path now. A lock file removed or replaced (the folder deleted and made again,
    // say) is taken again, keeping the note; a lock never taken is taken. Otherwise false,
    // with why; elsewhere tells whether another caller holds the file now there.
    bool hold(const QString &folder, QString &why, bool &elsewhere);
    bool held() const;

    // A word the last holder left in the lock file for the next one (fewer than NoteBytes
    // bytes, one line), as read when the lock was first taken; empty when it left none.
    static constexpr int NoteBytes = 16; // the note, padded with spaces, and a line feed
    QByteArray noteFound() const;
    // Leaves a word for the next holder. Written in place over bytes the file already
    // holds, so that it still works on a full disk or in a folder that became read-only.
    // A note only another process running now reads need not wait for the disk.
    bool leaveNote(const QByteArray &note, bool durable = true);
    // The word in folder's lock file, read without taking the lock (the holder's own).
    static QByteArray noteIn(const QString &folder);

private:
    Taking takeLocked(const QString &folder, QString &why); // guard held

    mutable std::mutex guard;
    int fd = -1;
    bool writable = false;
    QString where;
    QByteArray found;
    QByteArray left; // the last note left, written again into a lock file taken anew
};

// Whether this process holds the lock on folder, so that a writer of another file there
// may write it; true only while a StateFolderLock taken on that folder lives.
bool holdsStateFolder(const QString &folder);
// The same for the folder the program keeps its state in, defaultStateFolder().
bool holdsStateFolder();

// Text from a file or a file name, fit for one line of the error output: control
// characters (escape sequences, line breaks) are shown as \xNN instead of acting.
QString printable(const QString &text);
