#pragma once

#include "atomicfile.h"
#include "gamerecord.h"
#include "seams.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

// The game in progress kept in one small file, so that a crash, a kill or a power cut
// loses nothing. Each record is written on a thread of its own into a new file, flushed
// to the disk and renamed over the last one: at any instant the disk holds an older
// record or the new one, never a torn one. The newest record starts on its way at once,
// beside writes still in flight, so a slow disk costs only the calls made during one
// write; a record overtaken before its turn is dropped, and an older one never replaces a
// newer. One caller keeps its record in a folder: it holds the folder's lock while it runs.
class RecordFile : public QObject, public Keeper
{
    Q_OBJECT

public:
    // A caller that is ending is waited for this long by one starting on its folder.
    static constexpr int EndingWaitMs = 10000;

    // folder: where the record lives; made (0700) when the record is first read or kept.
    explicit RecordFile(QString folder, QObject *parent = nullptr);
    // Waits for the records handed over to reach the disk.
    ~RecordFile() override;

    // $XDG_STATE_HOME/tabro-kalvor, or ~/.local/state/tabro-kalvor when it is not set.
    static QString defaultFolder();
    QString path() const { return file; }

    // Takes the folder for this run, once; true while it is held. A caller that is still
    // writing its last records as it ends (a slow disk after a logout) is waited for, up to
    // EndingWaitMs, so that its game can be offered. A folder or lock that cannot be used
    // now is tried again at each record kept, and the host told when that works.
    bool claim();
    // This run is ending: a caller started meanwhile waits for its last records.
    void ending();

    // Reads the record an earlier run left. A damaged or foreign one is named on the error
    // output and moved aside (".bad" added); one from a newer version is left in place,
    // and then this run keeps nothing, so as not to overwrite it. Nothing is read, and
    // nothing kept, while another caller holds the folder; a game left in a folder whose
    // lock cannot be used is still offered, and nothing there is moved.
    bool interrupted(GameRecord &record) override;
    // Never waits for the disk: the record is copied and handed to a writing thread.
    void keep(const GameRecord &record) override;
    void watch(QObject *context, std::function<void(const QString &why)> told) override;

Q_SIGNALS:
    // From any thread: why the game is not being kept, or empty once it is again. Two
    // threads' words may arrive in either order: change numbers them, a newer one higher.
    void troubleChanged(quint64 change, const QString &why);

private:
    static constexpr int Writers = 8; // writes in flight at once on a slow disk
    bool readLeft(GameRecord &record, bool mayMove);
    void tookLate();
    void leaveNote(bool behind);
    void setTrouble(const QString &why);
    void writeLoop();
    // The outcome of the write of record number seq, when no newer write has told one.
    void report(std::uint64_t seq, bool written, const QString &why);

    QString folder;
    QString file;
    StateFolderLock folderLock;
    // Refused: another caller keeps its game there; Unusable: tried again at each write.
    enum class Folder { Unknown, Held, Refused, Unusable } folderState = Folder::Unknown; // window thread
    bool kept = true;        // false after a newer record was found or the folder refused; window thread
    bool behindFound = false; // the last run left word that its writes had failed; window thread
    bool readAtStart = false; // the record left there was read at start; window thread, then read by writers
    std::atomic<bool> refused{false}; // another caller took the folder's lock while this one ran

    std::mutex lock;
    std::condition_variable wake;
    GameRecord pending; // guarded by lock; made text on a writing thread
    bool hasPending = false; // guarded by lock
    bool stopping = false;   // guarded by lock
    int idle = 0;            // writers waiting for a record; guarded by lock
    std::uint64_t handed = 0;   // records handed over; guarded by lock
    std::uint64_t reported = 0; // the newest record whose outcome was told; guarded by lock
    QString trouble;            // guarded by lock
    quint64 changes = 0;        // the trouble's changes so far; guarded by lock

    std::mutex placing;
    std::uint64_t placed = 0; // the newest record in place; guarded by placing

    std::mutex noting;
    bool noteBehind = false; // what the lock file says for the next run; guarded by noting
    bool noteEnding = false; // the lock file says this run is ending; guarded by noting

    std::vector<std::thread> writers; // window thread
};
