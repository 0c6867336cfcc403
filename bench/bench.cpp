// The caller's performance figures, each printed with its median, minimum and maximum
// and the target beside it. Needs a display and, for the sound figure, a sound server;
// scripts/setup.sh bench provides both.
#include "callorder.h"
#include "clipstore.h"
#include "clockrandomsource.h"
#include "fonts.h"
#include "frmkalvor.h"
#include "sinkoutput.h"
#include "stats.h"
#include "waveplayer.h"

#include <QApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include <chrono>
#include <cstring>

namespace {

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Stands between the game and the real player: the device-type write opens every tick,
// so its time is the tick's start.
class TimedPlayer : public Player
{
public:
    explicit TimedPlayer(Player &inner) : inner(inner) {}
    void setDeviceType(const QString &type) override
    {
        if (recording)
            tickStarts.push_back(nowNs());
        inner.setDeviceType(type);
    }
    void setFileName(const QString &path) override { inner.setFileName(path); }
    void setCommand(const QString &command) override { inner.setCommand(command); }

    bool recording = false;
    std::vector<qint64> tickStarts;

private:
    Player &inner;
};

class AlwaysYes : public Question
{
public:
    bool askYesNo(const QString &, const QString &) override { return true; }
};

class NeverQuit : public Quitter
{
public:
    void endProgram() override {}
};

class CountingSource : public RandomSource
{
public:
    float next() override
    {
        ++draws;
        return inner.next();
    }
    void reseed() override { inner.reseed(); }
    long draws = 0;

private:
    ClockRandomSource inner;
};

void waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    poll.start();
    if (!done())
        loop.exec();
}

std::vector<double> offsetsMs(const std::vector<qint64> &ticks, double periodMs)
{
    std::vector<double> offsets;
    for (std::size_t k = 0; k < ticks.size(); ++k)
        offsets.push_back(double(ticks[k] - ticks[0]) / 1e6 - double(k) * periodMs);
    return offsets;
}

std::vector<double> absolute(std::vector<double> values)
{
    for (double &v : values)
        v = std::fabs(v);
    return values;
}

struct Options
{
    int calls = 90;
    int runs = 10;
    int orders = 10000;
};

// Figures 1 to 3: the real window and timer call a game at 1000 ms with sound on.
void callingFigures(const Options &options)
{
    const QString directory = QCoreApplication::applicationDirPath();
    ClipStore clips;
    clips.preload(directory);
    SinkOutput output;
    output.start();
    WavePlayer realPlayer(clips, output);
    TimedPlayer player(realPlayer);
    WavePlayer greeting(clips, output);
    AlwaysYes yes;
    NeverQuit never;
    ClockRandomSource random;
    frmKalvor window(player, greeting, yes, never, random, directory);
    window.show();

    std::vector<qint64> heard;
    QObject::connect(output.feeder(), &SinkFeeder::clipStarted, &window, [&](qint64 at) { heard.push_back(at); });
    // Let the window settle and the sound stream reach its steady state.
    waitUntil([] { return false; }, 2000);

    Game &game = window.game();
    std::vector<qint64> coarseTicks;
    QTimer coarse;
    coarse.setTimerType(Qt::CoarseTimer);
    coarse.setInterval(1000);
    QObject::connect(&coarse, &QTimer::timeout, [&] { coarseTicks.push_back(nowNs()); });

    game.setInterval(1);
    player.recording = true;
    game.cmdStart_Click();
    coarse.start();
    const auto calls = std::size_t(options.calls);
    waitUntil([&] { return player.tickStarts.size() >= calls && coarseTicks.size() >= calls; },
              options.calls * 1000 + 5000);
    player.recording = false;
    game.stopexec();
    coarse.stop();
    waitUntil([] { return false; }, 300); // the last clip's hand-off

    // 1. Tick schedule
    const auto precise = offsetsMs(player.tickStarts, 1000);
    const auto loose = offsetsMs(coarseTicks, 1000);
    const Summary preciseAbs = Summary::of(absolute(precise));
    const double p99 = Summary::percentile(absolute(precise), 99);
    std::printf("\n1. Tick schedule at 1000 ms, %zu calls (offset of each tick from first tick + k x period)\n",
                precise.size());
    report("   caller's timer |offset|", "ms", preciseAbs, "median <= 1 ms", preciseAbs.median <= 1);
    std::printf("   caller's timer 99th percentile |offset| %.3f ms   target: <= 5 ms %s\n", p99,
                p99 <= 5 ? "MET" : "MISSED");
    if (precise.size() >= 60) {
        std::printf("   caller's timer 60th call offset %.3f ms   target: within 5 ms %s\n", precise[59],
                    std::fabs(precise[59]) <= 5 ? "MET" : "MISSED");
    }
    std::printf("   caller's timer last call offset %.3f ms (drift)\n", precise.back());
    const Summary looseAbs = Summary::of(absolute(loose));
    report("   Qt's default coarse timer |offset|", "ms", looseAbs, "(comparison)", true);
    std::printf("   coarse timer 99th percentile |offset| %.3f ms, last call offset %.3f ms\n",
                Summary::percentile(absolute(loose), 99), loose.back());

    // 2. Call-to-sound latency
    std::printf("\n2. Call-to-sound latency (tick start to the first samples handed to the sound server)\n");
    if (heard.size() < player.tickStarts.size()) {
        std::printf("   only %zu of %zu announcements reached a sound server: is one running?\n", heard.size(),
                    player.tickStarts.size());
    } else {
        std::vector<double> latency;
        for (std::size_t k = 0; k < player.tickStarts.size(); ++k)
            latency.push_back(double(heard[k] - player.tickStarts[k]) / 1e6);
        const Summary s = Summary::of(latency);
        report("   latency", "ms", s, "median <= 30, max <= 60 ms", s.median <= 30 && s.max <= 60);
        const double others = *std::max_element(latency.begin() + 1, latency.end());
        std::printf("   first call of the game %.3f ms, latest of the others %.3f ms   target: first no later %s\n",
                    latency.front(), others, latency.front() <= others ? "MET" : "MISSED");
    }

    // 3. Tick cost: one tmrRand_Timer with sound on, driven directly, a game and more.
    std::vector<double> cost;
    for (int i = 0; i < 2 * 90; ++i) {
        if (game.state().running != 1)
            game.cmdStart_Click();
        const qint64 t0 = nowNs();
        game.tmrRand_Timer();
        cost.push_back(double(nowNs() - t0) / 1e3);
        QCoreApplication::processEvents();
    }
    game.stopexec();
    std::printf("\n3. Tick cost\n");
    const Summary c = Summary::of(cost);
    report("   one tmrRand_Timer, sound on", "us", c, "median <= 500 us", c.median <= 500);
}

struct ProbeRun
{
    double startupMs = NAN;
    double peakMb = NAN;
};

ProbeRun runProbe(const QString &program, const QStringList &arguments = {})
{
    ProbeRun run;
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    const qint64 t0 = nowNs();
    process.start(program, arguments);
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    for (const QByteArray &line : process.readAllStandardOutput().split('\n')) {
        if (line.startsWith("painted "))
            run.startupMs = double(line.mid(8).toLongLong() - t0) / 1e6;
        else if (line.startsWith("peak_kb "))
            run.peakMb = line.mid(8).toDouble() / 1024.0;
    }
    return run;
}

// 4. Start-up: process start to the window painted, and peak memory, against a bare window.
void startupFigures(const Options &options)
{
    const QString dir = QCoreApplication::applicationDirPath();
    std::vector<double> ours, ourMemory, floor, floorMemory, withText;
    for (int i = 0; i < options.runs; ++i) {
        const ProbeRun a = runProbe(dir + QStringLiteral("/tk-startup-probe"));
        const ProbeRun b = runProbe(dir + QStringLiteral("/tk-empty-window"));
        const ProbeRun c = runProbe(dir + QStringLiteral("/tk-empty-window"), {QStringLiteral("--text")});
        if (!std::isnan(c.startupMs))
            withText.push_back(c.startupMs);
        if (!std::isnan(a.startupMs) && !std::isnan(b.startupMs)) {
            ours.push_back(a.startupMs);
            ourMemory.push_back(a.peakMb);
            floor.push_back(b.startupMs);
            floorMemory.push_back(b.peakMb);
        }
    }
    std::printf("\n4. Start-up (process start to the main window painted) and peak resident memory\n");
    if (ours.empty()) {
        std::printf("   the probes did not paint: is a display available?\n");
        return;
    }
    const Summary s = Summary::of(ours);
    const Summary f = Summary::of(floor);
    const Summary m = Summary::of(ourMemory);
    const Summary fm = Summary::of(floorMemory);
    report("   the caller", "ms", s, "median <= 1.5 x bare window", s.median <= 1.5 * f.median);
    report("   a bare Qt Widgets window", "ms", f, "(floor)", true);
    std::printf("   ratio of medians %.2f\n", s.median / f.median);
    const Summary t = Summary::of(withText);
    report("   a bare window with one line of text", "ms", t, "(floor with fonts started)", true);
    std::printf("   ratio of medians against it %.2f\n", s.median / t.median);
    report("   the caller, peak memory", "MB", m, "median <= 2 x bare window", m.median <= 2 * fm.median);
    report("   a bare Qt Widgets window, peak memory", "MB", fm, "(floor)", true);
    std::printf("   ratio of medians %.2f\n", m.median / fm.median);
}

// 5. Order generation: initialization, over many orders.
void orderFigures(const Options &options)
{
    CountingSource random;
    GameState state;
    std::vector<double> micros;
    std::vector<double> draws;
    for (int i = 0; i < options.orders; ++i) {
        const long before = random.draws;
        const qint64 t0 = nowNs();
        initialization(state, random);
        micros.push_back(double(nowNs() - t0) / 1e3);
        draws.push_back(double(random.draws - before));
    }
    std::printf("\n5. Order generation (initialization), %d orders\n", options.orders);
    const Summary t = Summary::of(micros);
    report("   time per order", "us", t, "median <= 20 us", t.median <= 20);
    report("   draws per order", "", Summary::of(draws), "(rejection loop)", true);
}

} // namespace

int main(int argc, char *argv[])
{
    Options options;
    bool only[6] = {true, true, true, true, true, true};
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            options.calls = 20;
            options.runs = 3;
            options.orders = 2000;
        } else if (std::strcmp(argv[i], "--calls") == 0 && i + 1 < argc) {
            options.calls = std::max(2, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            options.runs = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) {
            const int figure = std::atoi(argv[++i]);
            for (int f = 1; f <= 5; ++f)
                only[f] = f == figure || (figure <= 3 && f <= 3);
        }
    }
    QApplication app(argc, argv);
    registerFontSubstitutes();
    std::printf("The Tabro-Kalvor benchmark (%d calls, %d start-up runs, %d orders)\n", options.calls, options.runs,
                options.orders);
    if (only[1])
        callingFigures(options);
    if (only[4])
        startupFigures(options);
    if (only[5])
        orderFigures(options);
    return 0;
}
