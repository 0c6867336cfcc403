#include "clipstore.h"

#include "recordings.h"
#include "version.h"
#include "wavedecoder.h"

#include <cstdio>

ClipStore::ClipStore()
    : worker([this] { work(); })
{
}

ClipStore::~ClipStore()
{
    stop();
}

void ClipStore::stop()
{
    if (!worker.joinable())
        return;
    {
        const std::lock_guard<std::mutex> locked(lock);
        ending = true;
        jobs.clear();
    }
    changed.notify_all();
    worker.join();
}

// Reads one file, or finds it kept; reports a file that cannot be played once.
ClipStore::Entry ClipStore::load(const QString &path, int rate)
{
    {
        const std::lock_guard<std::mutex> locked(lock);
        const auto found = clips.constFind(path);
        // A file that did not decode at one rate will not at another.
        if (found != clips.constEnd() && (found->silent || found->longer || found->rate == rate || rate == 0))
            return *found;
    }
    Entry entry;
    entry.rate = rate;
    QString why;
    const double seconds = WaveDecoder::seconds(path, &why);
    if (seconds > LongSeconds) {
        entry.longer = true;
    } else if (seconds >= 0) {
        entry.clip = WaveDecoder::decodeFile(path, rate, &why);
        entry.longer = entry.clip && entry.clip->seconds() > LongSeconds; // the header said nothing
        if (entry.longer)
            entry.clip.reset();
    }
    entry.silent = !entry.clip && !entry.longer;
    if (entry.silent)
        nameOnce(path, why);
    const std::lock_guard<std::mutex> locked(lock);
    clips.insert(path, entry);
    return entry;
}

void ClipStore::nameOnce(const QString &path, const QString &why)
{
    const std::lock_guard<std::mutex> locked(lock);
    if (named.contains(path))
        return;
    named.insert(path);
    std::fprintf(stderr, "%s: %s: %s\n", version::Command, qPrintable(path), qPrintable(why));
}

ClipPtr ClipStore::clip(const QString &path, int rate)
{
    const Entry entry = load(path, rate);
    if (!entry.longer)
        return entry.clip;
    QString why;
    ClipPtr decoded = WaveDecoder::decodeFile(path, rate, &why);
    if (!decoded)
        nameOnce(path, why); // too long to play, or gone since it was first read
    return decoded;
}

ClipPtr ClipStore::kept(const QString &path, int rate, bool *later)
{
    // Never reads a file here: what is not in memory yet is read in the background.
    const std::lock_guard<std::mutex> locked(lock);
    const auto found = clips.constFind(path);
    if (found == clips.constEnd() || (!found->silent && !found->longer && found->rate != rate && rate != 0)) {
        *later = true;
        return nullptr;
    }
    *later = found->longer;
    return found->clip;
}

void ClipStore::fetch(const QString &path, std::function<int()> rate, std::function<void(const ClipPtr &)> done)
{
    post([this, path, rate = std::move(rate), done = std::move(done)] { done(clip(path, rate())); });
}

void ClipStore::convert(const ClipPtr &clip, int rate, std::function<void(const ClipPtr &)> done)
{
    post([clip, rate, done = std::move(done)] { done(WaveDecoder::resampled(clip, rate)); });
}

void ClipStore::preload(const QString &directory, int rate)
{
    unsigned mine = 0;
    {
        const std::lock_guard<std::mutex> locked(lock);
        mine = ++preloads;
    }
    post([this, directory, rate, mine] {
        for (const QString &file : allRecordings(directory)) {
            {
                const std::lock_guard<std::mutex> locked(lock);
                if (mine != preloads || ending)
                    return; // the device changed again: the newer preload does the rest
            }
            load(file, rate);
        }
    });
}

void ClipStore::post(std::function<void()> job)
{
    {
        const std::lock_guard<std::mutex> locked(lock);
        jobs.push_back(std::move(job));
    }
    changed.notify_all();
}

void ClipStore::work()
{
    std::unique_lock<std::mutex> locked(lock);
    for (;;) {
        changed.wait(locked, [this] { return ending || !jobs.empty(); });
        if (ending)
            return;
        std::function<void()> job = std::move(jobs.front());
        jobs.pop_front();
        locked.unlock();
        job();
        locked.lock();
    }
}
