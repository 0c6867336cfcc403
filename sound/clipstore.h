#pragma once

#include "clip.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// The recordings, decoded ahead so that no call waits for a file. Short ones are kept at
// the output's rate (at most LongSeconds each, so ninety of them stay within tens of
// megabytes); a longer one is decoded anew in the background each time it is asked for.
// A file that cannot be played is silent and named once on the error output, with the
// reason. Safe to use from any thread, and no member waits for a file or a conversion:
// the reading, decoding and resampling run on one thread of the store's own
// (the recordings' thread), which also runs the done handlers.
class ClipStore
{
public:
    static constexpr double LongSeconds = 10;

    ClipStore();
    ~ClipStore();
    ClipStore(const ClipStore &) = delete;
    ClipStore &operator=(const ClipStore &) = delete;

    // What a call may play without waiting: the kept clip, or nothing with later set when
    // the recording is long or not read yet and must be decoded in the background first
    // (see fetch). Never opens a file.
    ClipPtr kept(const QString &path, int rate, bool *later);
    // Decodes in the background at the rate the output has by then, and hands the clip to
    // done on the store's thread.
    void fetch(const QString &path, std::function<int()> rate, std::function<void(const ClipPtr &)> done);
    // Converts the clip to the rate in the background and hands it to done on the store's
    // thread.
    void convert(const ClipPtr &clip, int rate, std::function<void(const ClipPtr &)> done);
    // Queues reading the ninety announcements and the greeting for the rate; returns at once.
    void preload(const QString &directory, int rate);
    // Drops the queued work and ends the store's thread; before the players go.
    void stop();

private:
    struct Entry
    {
        int rate = 0;
        ClipPtr clip;
        bool silent = false;
        bool longer = false;
    };
    Entry load(const QString &path, int rate);
    // The clip at the given rate (0: the file's own), decoded now unless it is kept.
    ClipPtr clip(const QString &path, int rate);
    // Says on the error output, once a file, why it cannot be played.
    void nameOnce(const QString &path, const QString &why);
    void work();
    void post(std::function<void()> job);

    std::mutex lock;
    std::condition_variable changed;
    QHash<QString, Entry> clips;
    QSet<QString> named; // files already reported as unplayable
    std::deque<std::function<void()>> jobs;
    bool ending = false;
    unsigned preloads = 0; // a newer preload makes an older one stop
    std::thread worker;
};
