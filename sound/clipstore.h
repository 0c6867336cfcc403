#pragma once

#include "clip.h"

#include <QHash>
#include <QMutex>
#include <QString>

#include <thread>

// Decoded recordings by path, so no call waits for a file. A file that cannot be played
// is remembered as nothing and stays silent. Each file is read once per output rate;
// safe to use from the sound and loading threads.
class ClipStore
{
public:
    ClipStore() = default;
    ~ClipStore();
    ClipStore(const ClipStore &) = delete;
    ClipStore &operator=(const ClipStore &) = delete;

    // The clip at the given rate (0: the file's own), decoded now unless it was before.
    ClipPtr clip(const QString &path, int rate);
    // Reads the ninety announcements and the greeting, on a thread of its own.
    void preload(const QString &directory, int rate);
    // Waits for a preload under way.
    void waitForPreload();
    int size() const;

private:
    struct Entry
    {
        int rate = 0;
        ClipPtr clip;
    };
    mutable QMutex lock;
    QHash<QString, Entry> clips;
    std::thread loader;
};
