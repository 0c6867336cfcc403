#pragma once

#include "gamerecord.h"
#include "seams.h"

#include <QByteArray>
#include <QString>

#include <condition_variable>
#include <mutex>
#include <thread>

// The game in progress kept in one small file, so that a crash, a kill or a power cut
// loses nothing. Each record is written on a thread of its own into a new file, flushed
// to the disk and renamed over the last one: at any instant the disk holds the old
// record or the new one, never a torn one. Only the latest record waits to be written.
class RecordFile : public Keeper
{
public:
    // folder: where the record lives; made (0700) at the first write.
    explicit RecordFile(QString folder);
    // Waits for the last record handed over to reach the disk.
    ~RecordFile() override;

    // $XDG_STATE_HOME/tabro-kalvor, or ~/.local/state/tabro-kalvor when it is not set.
    static QString defaultFolder();
    QString path() const { return file; }

    // Reads the record an earlier run left. A damaged or foreign one is named on the error
    // output and moved aside (".bad" added); one from a newer version is left in place,
    // and then this run keeps nothing, so as not to overwrite it.
    bool interrupted(GameRecord &record) override;
    // Never waits for the disk: the record is copied and handed to the writing thread.
    void keep(const GameRecord &record) override;

private:
    void writeLoop();
    bool write(const QByteArray &bytes, QString &why);

    QString folder;
    QString file;
    std::mutex lock;
    std::condition_variable wake;
    GameRecord pending; // guarded by lock; made text on the writing thread
    bool hasPending = false; // guarded by lock
    bool stopping = false;   // guarded by lock
    bool kept = true;        // false after a newer record was found; window thread only
    bool failed = false;     // a write failed and was said; writing thread only
    std::thread writer;
};
