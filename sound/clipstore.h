#pragma once

#include "clip.h"

#include <QHash>
#include <QString>

// Decoded recordings by path, read once, so no call waits for a file. A file that cannot
// be played is remembered as nothing and stays silent.
class ClipStore
{
public:
    // Decodes the file now unless it was read before.
    ClipPtr clip(const QString &path);
    // Reads the ninety announcements and the greeting ahead of the first call.
    void preload(const QString &directory);
    int size() const { return int(clips.size()); }

private:
    QHash<QString, ClipPtr> clips;
};
