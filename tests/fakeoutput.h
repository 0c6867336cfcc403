#pragma once

#include "audiooutput.h"
#include "clipstore.h"

#include <future>
#include <vector>

// An output that keeps what it was given to play.
class FakeOutput : public AudioOutput
{
public:
    int sampleRate() const override { return rate; }
    void play(const ClipPtr &clip) override { plays.push_back(clip); }
    void setReady(bool on) override { ready = on; }
    void stop() override { ++stops; }

    int rate = 22050;
    bool ready = false;
    int stops = 0;
    std::vector<ClipPtr> plays;
};

// Waits until the store has done all it was given: it works in order, so a conversion
// queued now is handed back after the rest.
inline void waitForStore(ClipStore &store)
{
    std::promise<void> caughtUp;
    std::future<void> done = caughtUp.get_future();
    store.convert(nullptr, 0, [&caughtUp](const ClipPtr &) { caughtUp.set_value(); });
    done.wait();
}

// Reads the folder's recordings ahead at the rate, as the program does before the first
// call, and waits until they are read.
inline void readAhead(ClipStore &store, const QString &directory, int rate)
{
    store.preload(directory, rate);
    waitForStore(store);
}
