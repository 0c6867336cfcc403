#include "atomicfile.h"
#include "claims.h"
#include "gamerecord.h"
#include "halldisplay.h"
#include "recordfile.h"
#include "windowrig.h"

#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <memory>
#include <cstdio>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {
// A game of `count` calls in a fixed order: 90 down to 1.
GameRecord gameOf(int count)
{
    GameRecord record;
    for (int i = 1; i <= GameState::Numbers; ++i)
        record.callorder[i] = std::int16_t(GameState::Numbers + 1 - i);
    record.callpos = count + 1;
    record.callcount = count;
    record.interval = 2000;
    const qint64 t0 = 1796847303120; // 2026-12-09T20:15:03.120Z
    for (int p = 1; p <= count; ++p)
        record.calls.push_back({p, record.callorder[p], t0 + (p - 1) * 2000});
    return record;
}

// A game of three calls in a fixed order: 90 down to 1.
GameRecord threeCalls()
{
    GameRecord record = gameOf(3);
    record.soundflag = 0;
    const qint64 t0 = 1796847303120;
    record.calls[2].time = t0 + 4001;
    record.prizes = prizes::bit(Prize::EarlyFive) | prizes::bit(Prize::FullHouse);
    record.wins = {{Prize::EarlyFive, QStringLiteral("8QB-2222-V"), 3, 88, t0 + 9000},
                   {Prize::FullHouse, QStringLiteral("39T-2222-3"), 3, 88, t0 + 9500, true}};
    return record;
}

QByteArray fileText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &text)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
}

int modeOf(const QString &path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 0777) : -1;
}

// The keeper's word on the game, as the window gets it.
struct Told
{
    QObject context;
    QStringList said;
    explicit Told(Keeper &keeper)
    {
        keeper.watch(&context, [this](const QString &why) { said << why; });
    }
};

// Hands the game a record as it is, whatever it holds; keeps what it is given.
class HandingKeeper : public Keeper
{
public:
    explicit HandingKeeper(GameRecord left)
        : left(std::move(left))
    {
    }
    bool interrupted(GameRecord &record) override
    {
        record = left;
        return true;
    }
    void keep(const GameRecord &record) override { kept.push_back(record); }

    GameRecord left;
    std::vector<GameRecord> kept;
};


// Hands two games to the keeper in turn, as fast as it writes them, until killed.
int writeForever(const char *folder)
{
    GameRecord a = threeCalls();
    GameRecord b = a;
    b.calls.pop_back();
    b.wins.clear();
    b.callcount = 2;
    b.callpos = 3;
    RecordFile keeper(QString::fromLocal8Bit(folder));
    keeper.keep(a);
    std::printf("keeping\n");
    std::fflush(stdout);
    for (bool even = true;; even = !even) {
        keeper.keep(even ? a : b);
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
}

// A game called at one number every `ms` milliseconds, each call kept, its count said
// once handed over, until killed.
int callEvery(const char *ms, const char *folder)
{
    RecordFile keeper(QString::fromLocal8Bit(folder));
    const auto interval = std::chrono::milliseconds(std::atoi(ms));
    auto next = std::chrono::steady_clock::now();
    for (int count = 1; count < GameState::Numbers; ++count) {
        keeper.keep(gameOf(count));
        std::printf("%d\n", count);
        std::fflush(stdout);
        next += interval;
        std::this_thread::sleep_until(next);
    }
    std::this_thread::sleep_for(std::chrono::hours(1));
    return 0;
}

// One record kept, as a program's run keeps its first.
int writeOnce(const char *folder)
{
    RecordFile keeper(QString::fromLocal8Bit(folder));
    keeper.keep(threeCalls());
    return 0;
}

// Cycles of a game kept over a flaky disk (the slow disk with TK_FLUSH_CONTROL): records
// kept while flushes wait and fail at random, then the last one kept on a disk that is
// good or failing. When the keeper has written everything, the last word the host was
// told must be the truth: kept, with the newest record on disk, or not kept, without it.
// Prints each cycle that went wrong; the status is the count of them.
int flakyCycles(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[2]);
    const int cycles = std::atoi(argv[3]);
    const QString path = folder + QStringLiteral("/game.txt");
    auto disk = [](char mode) {
        QFile control(qEnvironmentVariable("TK_FLUSH_CONTROL"));
        if (control.open(QIODevice::WriteOnly | QIODevice::Truncate))
            control.write(&mode, 1);
    };
    QRandomGenerator chance(43);
    int wrong = 0;
    int handed = 0;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        QObject window;
        QString word; // a window begins with the game kept, and hears of a change
        const bool lastGood = chance.bounded(2) == 1;
        const int count = 20 + chance.bounded(20);
        {
            RecordFile keeper(folder);
            keeper.watch(&window, [&word](const QString &why) { word = why; });
            disk('r');
            for (int n = 1; n < count; ++n) {
                keeper.keep(gameOf(n));
                if (chance.bounded(4) == 0)
                    QCoreApplication::processEvents();
                std::this_thread::sleep_for(std::chrono::microseconds(chance.bounded(1500)));
            }
            disk(lastGood ? 'g' : 'f');
            keeper.keep(gameOf(count));
            handed += count;
        } // every write done, every word sent
        QCoreApplication::sendPostedEvents();
        GameRecord onDisk;
        QString why;
        const bool newestOnDisk = GameRecord::read(fileText(path), onDisk, why) == GameRecord::Reading::Read
            && onDisk.callcount == count;
        if (lastGood != (word.isEmpty() && newestOnDisk)) {
            std::printf("cycle %d, the last write %s: the host was told \"%s\", the disk holds %d calls of %d\n",
                        cycle, lastGood ? "good" : "failed", qPrintable(word), onDisk.callcount, count);
            ++wrong;
        }
    }
    std::printf("%d cycles, %d records kept, %d wrong\n", cycles, handed, wrong);
    return wrong;
}

// A caller ending over a slow disk: six records kept, then the end of its run, said on the
// standard output; its keeper then waits for the disk.
int endSlowly(const char *folder)
{
    RecordFile keeper(QString::fromLocal8Bit(folder));
    GameRecord left;
    keeper.interrupted(left);
    for (int count = 1; count <= 6; ++count)
        keeper.keep(gameOf(count));
    keeper.ending();
    std::printf("ending\n");
    std::fflush(stdout);
    return 0;
}

// The shared writer over a disk whose folders cannot be flushed (TK_FLUSH_FAIL=folders):
// a write, then a new folder; each says whether it worked and why not.
int flushFoldersFailing(const char *folder)
{
    QString why;
    const bool written = writeAtomically(QString::fromLocal8Bit(folder) + QStringLiteral("/books.txt"), "x\n", why);
    std::printf("write %d %s\n", int(written), qPrintable(why));
    why.clear();
    const bool made = makeStateFolder(QString::fromLocal8Bit(folder) + QStringLiteral("/new/tabro-kalvor"), why);
    std::printf("make %d %s\n", int(made), qPrintable(why));
    return 0;
}

// The record left in folder read as a start does.
int readOnce(const char *folder)
{
    RecordFile keeper(QString::fromLocal8Bit(folder));
    GameRecord record;
    return keeper.interrupted(record) ? 0 : 1;
}

// Runs this test program in one of its modes above; its standard output, its error
// output in *errors.
QByteArray runMode(const QStringList &arguments, QByteArray *errors = nullptr)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), arguments);
    child.waitForFinished(20000);
    if (errors)
        *errors = child.readAllStandardError();
    return child.readAllStandardOutput();
}

// This test program's environment with the slow disk preloaded and set as given.
QProcessEnvironment slowDisk(const QList<QPair<QString, QString>> &settings)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(TK_SLOWDISK));
    environment.insert(QStringLiteral("ASAN_OPTIONS"), environment.value(QStringLiteral("ASAN_OPTIONS"))
                                                           + QStringLiteral(":verify_asan_link_order=0"));
    for (const auto &setting : settings)
        environment.insert(setting.first, setting.second);
    return environment;
}

// The count of calls in the record at path; -1 when there is none that reads.
int recordCount(const QString &path)
{
    GameRecord record;
    QString why;
    return GameRecord::read(fileText(path), record, why) == GameRecord::Reading::Read ? record.callcount : -1;
}
} // namespace

class TestRecord : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void recordReadsBackAsWrittenInAFixedForm();
    void damagedRecordIsRefusedAndMovedAside_data();
    void damagedRecordIsRefusedAndMovedAside();
    void largestRecordTheProgramCanWriteReadsBack();
    void winsTheRecordCouldNotReadBackAreNotAccepted();
    void newerRecordIsLeftUntouchedAndNothingIsKept();
    void killedWhileWritingLeavesTheOldOrTheNewRecord();
    void secondCallerOnTheFolderKeepsNothingAndSaysWhy();
    void failedAtomicWriteLeavesTheFileAsItWas();
    void strayTemporaryIsNeverInTheWay_data();
    void strayTemporaryIsNeverInTheWay();
    void aStartRemovesItsOwnStraysOnly();
    void writersStartAsTheDiskNeedsThem();
    void oneWriteFlushesTheFileTheRenameAndTheFolder();
    void slowDiskLosesOnlyTheCallsOfOneWrite_data();
    void slowDiskLosesOnlyTheCallsOfOneWrite();
    void errorOutputShowsControlCharactersEscaped();
    void gameResumesOnlyARecordOfAGameInProgress_data();
    void gameResumesOnlyARecordOfAGameInProgress();
    void resumeQuestionCountsInWords();
    void programEndedDuringTheResumeQuestionLeavesTheRecord();
    void unwritableRecordIsToldInTheWindowAndToTheReader();
    void olderWordArrivingLateIsNeverTold();
    void hostIsToldTheKeepersWordOverAFlakyDisk();
    void folderFlushThatFailsIsAFailedWrite();
    void lockRemovedIsTakenAgainOrTheGameIsNotKept();
    void folderUnusableAtStartIsTriedAgainAtEachCall_data();
    void folderUnusableAtStartIsTriedAgainAtEachCall();
    void relaunchWaitsForACallerEndingOnASlowDisk();
};

// The form is pinned: a record written by this version must read back in every later one.
void TestRecord::recordReadsBackAsWrittenInAFixedForm()
{
    const GameRecord record = threeCalls();
    QByteArray order = "order";
    for (int n = 90; n >= 1; --n)
        order += ' ' + QByteArray::number(n);
    const QByteArray expected = "tabro-kalvor game record 1\n"
                                "state playing\n"
                                "interval 2000\n"
                                "sound 0\n"
                                "prizes early-five full-house\n"
                                "next 4\n"
                                "called 3\n"
        + order + "\n"
                  "call 1 90 2026-12-09T20:15:03.120Z\n"
                  "call 2 89 2026-12-09T20:15:05.120Z\n"
                  "call 3 88 2026-12-09T20:15:07.121Z\n"
                  "won early-five 3 88 2026-12-09T20:15:12.120Z 8QB-2222-V\n"
                  "won full-house 3 88 2026-12-09T20:15:12.620Z 39T-2222-3 unlisted-book\n"
                  "end\n";
    QCOMPARE(record.text(), expected);

    GameRecord read;
    QString why;
    QCOMPARE(GameRecord::read(expected, read, why), GameRecord::Reading::Read);
    QCOMPARE(read.text(), expected);
    QVERIFY(read.calls == record.calls);
    QVERIFY(read.wins == record.wins);
    QVERIFY(read.inProgress());

    QTemporaryDir home;
    const QString state = home.path() + QStringLiteral("/state/tabro-kalvor");
    {
        RecordFile keeper(state);
        keeper.keep(record);
    }
    const QString path = state + QStringLiteral("/game.txt");
    QCOMPARE(fileText(path), expected);
    QCOMPARE(modeOf(path), 0600);
    QCOMPARE(modeOf(state), 0700);
    QCOMPARE(modeOf(home.path() + QStringLiteral("/state")), 0700); // a missing parent too
    // The record and the lock the caller held; no temporary is left.
    QCOMPARE(QDir(state).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot),
             (QStringList{QStringLiteral("game.txt"), QStringLiteral("lock")}));
}

void TestRecord::damagedRecordIsRefusedAndMovedAside_data()
{
    const QByteArray good = threeCalls().text();
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("reason");
    QTest::newRow("empty") << QByteArray() << "empty";
    QTest::newRow("truncated") << good.left(good.size() / 2) << "truncated";
    QTest::newRow("cut before its end line") << good.left(good.size() - 4) << "truncated";
    QTest::newRow("another format") << QByteArray("[General]\ncalls=1,2,3\n") << "not a game record";
    QTest::newRow("an older version") << QByteArray(good).replace("record 1", "record 0") << "version 0";
    QTest::newRow("number outside 1 to 90") << QByteArray(good).replace("order 90 ", "order 91 ") << "outside";
    QTest::newRow("number twice") << QByteArray(good).replace(" 2 1\n", " 1 1\n") << "1 twice";
    QTest::newRow("position past 90") << QByteArray(good).replace("next 4", "next 92") << "past 90";
    QTest::newRow("count not the position") << QByteArray(good).replace("called 3", "called 2") << "count";
    QTest::newRow("call not in the order") << QByteArray(good).replace("call 2 89", "call 2 45") << "call 2";
    QTest::newRow("call missing") << QByteArray(good).replace("call 3 88 2026-12-09T20:15:07.121Z\n", "")
                                  << "2 calls listed, 3 counted";
    QTest::newRow("a time that is none") << QByteArray(good).replace("20:15:05.120Z", "25:99:05.120Z") << "time";
    QTest::newRow("interval out of range") << QByteArray(good).replace("interval 2000", "interval 0") << "interval";
    QTest::newRow("unknown prize") << QByteArray(good).replace("prizes early-five", "prizes bingo") << "prize";
    QTest::newRow("prize won at no call") << QByteArray(good).replace("won early-five 3 88", "won early-five 3 45")
                                          << "does not match";
    QTest::newRow("prize won one past the calls")
        << QByteArray(good).replace("won early-five 3 88", "won early-five 4 87") << "does not match";
    QTest::newRow("ticket longer than a ticket can be")
        << QByteArray(good).replace("8QB-2222-V", QByteArray(GameRecord::MaxTicketChars + 1, '7')) << "does not match";
    QTest::newRow("ticket with a control byte") << QByteArray(good).replace("8QB-2222-V", "8QB\x1b" "2222-V")
                                                << "does not match";
    QByteArray manyWins = good;
    const QByteArray win = "won early-five 3 88 2026-12-09T20:15:12.120Z 8QB-2222-V\n";
    manyWins.replace(win, win.repeated(GameRecord::MaxWins + 1));
    QTest::newRow("more prizes won than a game can record") << manyWins << "more than 300 prizes won";
    QTest::newRow("folder") << QByteArray("folder") << "folder";
}

void TestRecord::damagedRecordIsRefusedAndMovedAside()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, reason);
    QTemporaryDir folder;
    const QString path = folder.path() + QStringLiteral("/game.txt");
    if (text == "folder") {
        QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("game.txt")));
    } else {
        GameRecord record;
        QString why;
        QCOMPARE(GameRecord::read(text, record, why), GameRecord::Reading::Damaged);
        QVERIFY2(why.contains(reason), qPrintable(why));
        writeFile(path, text);
    }

    RecordFile keeper(folder.path());
    GameRecord record;
    QVERIFY(!keeper.interrupted(record));
    QVERIFY(!QFileInfo::exists(path));
    QVERIFY(QFileInfo::exists(path + QStringLiteral(".bad")));
    if (text != "folder")
        QCOMPARE(fileText(path + QStringLiteral(".bad")), text); // nothing of it is lost
}

// The writer never writes what the reader refuses: the most the game lets in (every call,
// every prize, as many winners as it accepts, each with the longest ticket) reads back.
void TestRecord::largestRecordTheProgramCanWriteReadsBack()
{
    GameRecord record = gameOf(GameState::Numbers - 1);
    record.prizes = prizes::Set((1u << PrizeCount) - 1);
    const qint64 latest = 253402300799999; // 9999-12-31T23:59:59.999Z
    for (Call &call : record.calls)
        call.time = latest;
    const QString longest(GameRecord::MaxTicketChars, QLatin1Char('9'));
    QVERIFY(GameRecord::canRecord(longest, GameRecord::MaxWins - PrizeCount));
    QVERIFY(!GameRecord::canRecord(longest + QLatin1Char('9'), 0));
    QVERIFY(!GameRecord::canRecord(longest, GameRecord::MaxWins - PrizeCount + 1));
    // The longest label a claim gives: fifteen numbers typed in, all but the one a ticket
    // must hold from 1 to 9 of two digits.
    ClaimTicket typed;
    QString why;
    QVERIFY2(ClaimTicket::read(QStringLiteral("1 10 11 12 20 21 22 30 31 40 41 50 60 70 80"), typed, why),
             qPrintable(why));
    QVERIFY2(typed.label.size() <= GameRecord::MaxTicketChars, qPrintable(typed.label));
    for (int i = 0; i < GameRecord::MaxWins; ++i)
        record.wins.push_back({Prize::ThirdFullHouse, longest, 89, record.callorder[89], latest, true});

    const QByteArray text = record.text();
    qInfo("the largest record the game can write is %lld bytes", qlonglong(text.size()));
    QVERIFY(text.size() <= GameRecord::MaxBytes);
    QTemporaryDir folder;
    {
        RecordFile keeper(folder.path());
        keeper.keep(record);
    }
    RecordFile keeper(folder.path());
    GameRecord read;
    QVERIFY(keeper.interrupted(read));
    QCOMPARE(read.text(), text);
}

// A ticket whose win the record could not hold is not accepted at all: the game and its
// record never disagree.
void TestRecord::winsTheRecordCouldNotReadBackAreNotAccepted()
{
    GameRecord left = gameOf(5); // the ticket's five numbers, the last one just called
    left.prizes = prizes::bit(Prize::EarlyFive) | prizes::bit(Prize::FullHouse);
    ClaimTicket ticket;
    for (int p = 1; p <= 5; ++p)
        ticket.numbers.push_back(left.callorder[p]);
    auto accepted = [&](const QString &label, int winsBefore) {
        GameRecord record = left;
        for (int i = 0; i < winsBefore; ++i)
            record.wins.push_back({Prize::FullHouse, QStringLiteral("typed:%1").arg(i), 5, record.callorder[5], 0});
        HandingKeeper keeper(record);
        GameRig rig;
        rig.game.setKeeper(&keeper);
        if (!rig.game.offerResume())
            return -1;
        ticket.label = label;
        const std::size_t wins = rig.game.acceptClaim(ticket).size();
        return wins == 0 ? 0 : keeper.kept.empty() ? -2 : int(wins);
    };
    const QString longest(GameRecord::MaxTicketChars, QLatin1Char('8'));
    QCOMPARE(accepted(longest, 0), 1);
    QCOMPARE(accepted(longest + QLatin1Char('8'), 0), 0);
    QCOMPARE(accepted(QStringLiteral("typed:1,2"), GameRecord::MaxWins - PrizeCount), 1);
    QCOMPARE(accepted(QStringLiteral("typed:1,2"), GameRecord::MaxWins - PrizeCount + 1), 0);
}

// A later version's record is not ours to change: it stays, and this run writes nothing.
void TestRecord::newerRecordIsLeftUntouchedAndNothingIsKept()
{
    QTemporaryDir folder;
    const QString path = folder.path() + QStringLiteral("/game.txt");
    const QByteArray newer = QByteArray(threeCalls().text()).replace("record 1", "record 2");
    writeFile(path, newer);
    {
        RecordFile keeper(folder.path());
        Told told(keeper);
        GameRecord record;
        QVERIFY(!keeper.interrupted(record));
        keeper.keep(threeCalls());
        QTRY_COMPARE(told.said.size(), 1);
        QVERIFY2(told.said[0].contains(QStringLiteral("version 2")), qPrintable(told.said[0]));
    }
    QCOMPARE(fileText(path), newer);
    QVERIFY(!QFileInfo::exists(path + QStringLiteral(".bad")));
}

// The program killed at any instant while it writes: the record on disk reads back whole,
// as the game before or the game after.
void TestRecord::killedWhileWritingLeavesTheOldOrTheNewRecord()
{
    QTemporaryDir folder;
    const QString path = folder.path() + QStringLiteral("/game.txt");
    QRandomGenerator chance(2026);
    int whole = 0;
    for (int round = 0; round < 200; ++round) {
        QProcess writer;
        writer.start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("--write-forever"), folder.path()});
        // Killed while it writes, not while it starts (which a sanitizer build makes slow).
        QVERIFY(writer.waitForReadyRead(10000));
        QTest::qSleep(int(chance.bounded(0, 20)));
        ::kill(pid_t(writer.processId()), SIGKILL);
        QVERIFY(writer.waitForFinished());
        if (!QFileInfo::exists(path))
            continue; // killed before its first record
        GameRecord record;
        QString why;
        QCOMPARE(GameRecord::read(fileText(path), record, why), GameRecord::Reading::Read);
        QVERIFY(record.callcount == 2 || record.callcount == 3);
        ++whole;
    }
    qInfo("%d of 200 kills found a record on disk, every one whole", whole);
    QVERIFY(whole > 150);
    // Each kill in the middle of a write left a temporary; the next keeper clears them.
    RecordFile keeper(folder.path());
    GameRecord record;
    QVERIFY(keeper.interrupted(record));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::NoDotAndDotDot),
             (QStringList{QStringLiteral("game.txt"), QStringLiteral("lock")}));
}

// Two callers of one user, with no desktop bus to keep the second from starting: the
// second finds the folder held, offers no resume, writes nothing and says why.
void TestRecord::secondCallerOnTheFolderKeepsNothingAndSaysWhy()
{
    QTemporaryDir folder;
    const QString path = folder.path() + QStringLiteral("/game.txt");
    QProcess first;
    first.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--write-forever"), folder.path()});
    QVERIFY(first.waitForReadyRead(10000));
    QCOMPARE(first.readLine(), QByteArray("keeping\n"));
    QVERIFY(!holdsStateFolder(folder.path()));

    RecordFile second(folder.path());
    Told told(second);
    GameRecord record;
    QVERIFY(!second.interrupted(record)); // the first one's game is in progress
    QVERIFY(!holdsStateFolder(folder.path()));
    GameRecord other = gameOf(40);
    second.keep(other);
    QTRY_COMPARE(told.said.size(), 1);
    QVERIFY2(told.said[0].contains(QStringLiteral("another caller is keeping its game in")), qPrintable(told.said[0]));
    QTest::qWait(200);
    for (int look = 0; look < 50; ++look) {
        GameRecord onDisk;
        QString why;
        if (GameRecord::read(fileText(path), onDisk, why) == GameRecord::Reading::Read)
            QVERIFY(onDisk.callcount <= 3); // only ever the first caller's game
    }
    {
        // The host of the second caller sees why in its window.
        RecordFile third(folder.path());
        WindowRig rig;
        rig.game().setKeeper(&third);
        QVERIFY(!rig.game().offerResume());
        QVERIFY(rig.question.asked.isEmpty());
        QTRY_VERIFY(rig.find<QLabel>("lblRecord") && rig.find<QLabel>("lblRecord")->isVisible());
        QVERIFY(rig.find<QLabel>("lblRecord")->text().contains(QStringLiteral("another caller is keeping its game")));
    }
    ::kill(pid_t(first.processId()), SIGKILL);
    QVERIFY(first.waitForFinished());

    // Once the first is gone, however it went, the folder is free again.
    RecordFile next(folder.path());
    QVERIFY(next.interrupted(record));
    QVERIFY(holdsStateFolder(folder.path()));
}

// The shared writer, failing at each of its steps, leaves the old file and nothing else,
// and says why in words.
void TestRecord::failedAtomicWriteLeavesTheFileAsItWas()
{
    QTemporaryDir folder;
    QString why;
    const QString file = folder.path() + QStringLiteral("/books.txt");
    QVERIFY(writeAtomically(file, "first\n", why));
    QCOMPARE(fileText(file), QByteArray("first\n"));

    // No folder to write in.
    QVERIFY(!writeAtomically(folder.path() + QStringLiteral("/missing/books.txt"), "x", why));
    QVERIFY2(why.contains(QStringLiteral("no new file can be made")), qPrintable(why));
    // A folder in the file's place: the new file is written, then cannot take its place.
    const QString taken = folder.path() + QStringLiteral("/taken.txt");
    QVERIFY(QDir().mkpath(taken + QStringLiteral("/inside")));
    QVERIFY(!writeAtomically(taken, "x", why));
    QVERIFY2(why.contains(QStringLiteral("cannot take the old one's place")), qPrintable(why));
    // A file past the size the system allows: the write itself fails.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limits {};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &limits), 0);
    rlimit small = limits;
    small.rlim_cur = 4;
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = writeAtomically(file, "second, longer\n", why);
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limits), 0);
    QVERIFY(!written);
    QVERIFY2(why.contains(QStringLiteral("cannot be written")), qPrintable(why));
    QCOMPARE(fileText(file), QByteArray("first\n"));
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot),
             (QStringList{QStringLiteral("books.txt"), QStringLiteral("taken.txt")}));

    // A file where the state folder should be, or one of its parents.
    QVERIFY(!makeStateFolder(file + QStringLiteral("/tabro-kalvor"), why));
    QVERIFY2(why.startsWith(QStringLiteral("a file lies where the folder")), qPrintable(why));
    QVERIFY(!makeStateFolder(file, why));
    QVERIFY2(why.contains(QStringLiteral("is a file, not a folder")), qPrintable(why));
    QVERIFY(moveAside(file, why));
    QCOMPARE(fileText(file + QStringLiteral(".bad")), QByteArray("first\n"));
    QVERIFY(!moveAside(file, why)); // nothing left to move
    QCOMPARE(printable(QStringLiteral("a\x1b[2Jb\nc\u0085")), QStringLiteral("a\\x1b[2Jb\\x0ac\\x85"));
}

void TestRecord::strayTemporaryIsNeverInTheWay_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("a link to a file elsewhere") << "link";
    QTest::newRow("a link to nowhere") << "dangling";
    QTest::newRow("a folder with a file in it") << "folder";
    QTest::newRow("a fifo") << "fifo";
    QTest::newRow("a file of an earlier version") << "file";
}

// The threads of this process, as the kernel counts them.
int threadCount()
{
    return int(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

// Start-up pays for no writer: the first is started with the first record, more only
// while the ones there are still write, and never more than eight.
void TestRecord::writersStartAsTheDiskNeedsThem()
{
    QTemporaryDir folder;
    const int before = threadCount();
    {
        RecordFile keeper(folder.path());
        GameRecord left;
        QVERIFY(!keeper.interrupted(left));
        QCOMPARE(threadCount(), before);
        keeper.keep(threeCalls());
        QCOMPARE(threadCount(), before + 1);
        QTRY_VERIFY(QFileInfo::exists(folder.filePath(QStringLiteral("game.txt"))));
        for (int i = 0; i < 200; ++i)
            keeper.keep(threeCalls());
        QVERIFY(threadCount() <= before + 8);
    }
    QCOMPARE(threadCount(), before);
}

// A kill in the middle of a write leaves its temporary behind: the next start removes
// every one of them, and nothing else of the folder.
void TestRecord::aStartRemovesItsOwnStraysOnly()
{
    QTemporaryDir folder;
    const QStringList strays{QStringLiteral("game.txt.new"), QStringLiteral("game.txt.new-Ab12Cd"),
                             QStringLiteral(".game.txt.new-x")};
    const QStringList others{QStringLiteral("books.txt"), QStringLiteral("game.txt.old"),
                             QStringLiteral("books.txt.new-Ab12Cd"), QStringLiteral("xgame.txt.new")};
    for (const QString &name : strays + others)
        writeFile(folder.filePath(name), "x");
    RecordFile keeper(folder.path());
    GameRecord record;
    QVERIFY(!keeper.interrupted(record));
    for (const QString &name : strays.mid(0, 2))
        QVERIFY2(!QFileInfo::exists(folder.filePath(name)), qPrintable(name));
    for (const QString &name : others + strays.mid(2))
        QVERIFY2(QFileInfo::exists(folder.filePath(name)), qPrintable(name));
}

// Whatever an earlier run or another program left under the temporary's old name, the
// record is written, and nothing outside the folder is touched.
void TestRecord::strayTemporaryIsNeverInTheWay()
{
    QFETCH(QString, kind);
    QTemporaryDir folder;
    QTemporaryDir elsewhere;
    const QString stray = folder.path() + QStringLiteral("/game.txt.new");
    const QString target = elsewhere.path() + QStringLiteral("/precious.txt");
    const QByteArray stray8 = QFile::encodeName(stray);
    if (kind == QLatin1String("link")) {
        writeFile(target, "precious");
        QVERIFY(::symlink(QFile::encodeName(target).constData(), stray8.constData()) == 0);
    } else if (kind == QLatin1String("dangling")) {
        QVERIFY(::symlink(QFile::encodeName(target).constData(), stray8.constData()) == 0);
    } else if (kind == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(stray));
        writeFile(stray + QStringLiteral("/inside"), "x");
    } else if (kind == QLatin1String("fifo")) {
        QVERIFY(::mkfifo(stray8.constData(), 0600) == 0);
    } else {
        writeFile(stray, "tabro-kalvor game record 1\nstate pla");
    }
    {
        RecordFile keeper(folder.path());
        Told told(keeper);
        GameRecord none;
        QVERIFY(!keeper.interrupted(none));
        keeper.keep(threeCalls());
        keeper.keep(gameOf(4));
        QTest::qWait(100);
        QVERIFY2(told.said.isEmpty(), qPrintable(told.said.join(QLatin1Char('\n'))));
    }
    GameRecord record;
    QString why;
    QCOMPARE(GameRecord::read(fileText(folder.path() + QStringLiteral("/game.txt")), record, why),
             GameRecord::Reading::Read);
    QCOMPARE(record.callcount, 4);
    if (kind == QLatin1String("link"))
        QCOMPARE(fileText(target), QByteArray("precious"));
    if (kind == QLatin1String("dangling"))
        QVERIFY(!QFileInfo::exists(target));
    if (kind == QLatin1String("folder"))
        QCOMPARE(fileText(stray + QStringLiteral("/inside")), QByteArray("x"));
}

// What makes a record survive a power cut, seen from outside: the new file is flushed
// before it takes the old one's name, and the folder after; a folder made for the first
// time is flushed through its parent.
void TestRecord::oneWriteFlushesTheFileTheRenameAndTheFolder()
{
    const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
    QVERIFY2(!strace.isEmpty(), "strace is needed (scripts/setup.sh installs it)");
    QTemporaryDir home;
    const QString state = home.path() + QStringLiteral("/state");
    const QString log = home.path() + QStringLiteral("/trace.txt");
    QProcess traced;
    // A sanitizer build's leak check cannot run under a tracer; what is traced here is the
    // writing, not the leaks.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
                       environment.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":detect_leaks=0"));
    traced.setProcessEnvironment(environment);
    traced.start(strace, {QStringLiteral("-f"), QStringLiteral("-o"), log, QStringLiteral("-e"),
                          QStringLiteral("trace=mkdir,mkdirat,openat,fsync,fdatasync,rename,renameat,renameat2,close"),
                          QCoreApplication::applicationFilePath(), QStringLiteral("--write-once"), state});
    QVERIFY(traced.waitForFinished(30000));
    QCOMPARE(traced.exitCode(), 0);
    QVERIFY(QFileInfo::exists(state + QStringLiteral("/game.txt")));

    // The calls about the state folder, in order, each with the file it concerns; the
    // descriptors are followed through open and close.
    // A call another thread interrupted is written in two pieces; they are put together.
    QList<QByteArray> lines;
    QMap<QByteArray, QByteArray> unfinished; // pid -> the call's first piece
    const QRegularExpression resumed(QStringLiteral("^(\\d+) +<\\.\\.\\. \\w+ resumed>(.*)$"));
    for (const QByteArray &line : fileText(log).split('\n')) {
        const QByteArray pid = line.left(line.indexOf(' '));
        if (line.endsWith("<unfinished ...>")) {
            unfinished.insert(pid, line.left(line.size() - int(qstrlen("<unfinished ...>"))));
            continue;
        }
        const auto piece = resumed.match(QString::fromUtf8(line));
        if (piece.hasMatch())
            lines << unfinished.take(pid) + piece.captured(2).toUtf8();
        else
            lines << line;
    }
    QMap<QByteArray, QByteArray> open; // "pid fd" -> path
    QStringList seen;
    const QRegularExpression call(QStringLiteral("^(\\d+) +(\\w+)\\((.*)\\) += (-?\\d+)"));
    for (const QByteArray &line : lines) {
        const auto m = call.match(QString::fromUtf8(line));
        if (!m.hasMatch() || m.captured(4).toInt() < 0)
            continue;
        const QString pid = m.captured(1);
        const QString name = m.captured(2);
        const QString args = m.captured(3);
        const QStringList quoted = [&] {
            QStringList paths;
            auto each = QRegularExpression(QStringLiteral("\"([^\"]*)\"")).globalMatch(args);
            while (each.hasNext())
                paths << each.next().captured(1);
            return paths;
        }();
        auto local = [&](const QString &path) {
            QString p = path;
            p.replace(home.path(), QString());
            p.replace(QRegularExpression(QStringLiteral("\\.new-\\w{6}$")), QStringLiteral(".new"));
            return p;
        };
        if (name == QLatin1String("openat") && !quoted.isEmpty() && quoted[0].startsWith(home.path())) {
            open.insert((pid + QLatin1Char(' ') + m.captured(4)).toLatin1(), local(quoted[0]).toUtf8());
        } else if (name == QLatin1String("close")) {
            open.remove((pid + QLatin1Char(' ') + args.trimmed()).toLatin1());
        } else if (name == QLatin1String("fsync") || name == QLatin1String("fdatasync")) {
            const QByteArray key = (pid + QLatin1Char(' ') + args.trimmed()).toLatin1();
            if (open.contains(key))
                seen << QStringLiteral("flush ") + QString::fromUtf8(open.value(key));
        } else if (name.startsWith(QLatin1String("mkdir")) && !quoted.isEmpty()) {
            seen << QStringLiteral("make ") + local(quoted[0]);
        } else if (name.startsWith(QLatin1String("rename")) && quoted.size() == 2) {
            seen << QStringLiteral("rename ") + local(quoted[0]) + QStringLiteral(" to ") + local(quoted[1]);
        }
    }
    qInfo("%s", qPrintable(seen.join(QStringLiteral("; "))));
    const QStringList wanted = {
        QStringLiteral("make /state"),
        QStringLiteral("flush "), // the folder it was made in
        QStringLiteral("flush /state/lock"), // the lock's note, made once
        QStringLiteral("flush /state/game.txt.new"),
        QStringLiteral("rename /state/game.txt.new to /state/game.txt"),
        QStringLiteral("flush /state"),
    };
    QCOMPARE(seen, wanted);
}

void TestRecord::slowDiskLosesOnlyTheCallsOfOneWrite_data()
{
    QTest::addColumn<int>("interval");
    QTest::addColumn<int>("flush");
    // A flush shorter than the interval, and one of 2.5 intervals (as 2.5 s at 1 s).
    QTest::newRow("flush 120 ms, a call every 200 ms") << 200 << 120;
    QTest::newRow("flush 375 ms, a call every 150 ms") << 150 << 375;
}

// A slow disk, killed at random: the record on disk is never more than one write behind
// the game, because the newest record starts on its way at once, beside slower ones, and
// an older one never takes a newer one's place. Judged from the order of what the disk saw
// (each record's flush begun, each record put in place), not from the clock: the calls
// lost are printed for a person to read, and depend on the machine's load.
void TestRecord::slowDiskLosesOnlyTheCallsOfOneWrite()
{
    QFETCH(int, interval);
    QFETCH(int, flush);
    QTemporaryDir folder;
    const QString log = folder.path() + QStringLiteral("/../") + QFileInfo(folder.path()).fileName()
        + QStringLiteral(".log");
    QRandomGenerator chance(90);
    int worst = 0;
    int total = 0;
    int overlapped = 0;
    const int rounds = 8;
    for (int round = 0; round < rounds; ++round) {
        QFile::remove(folder.path() + QStringLiteral("/game.txt"));
        QFile::remove(log);
        QProcess caller;
        caller.setProcessEnvironment(slowDisk({{QStringLiteral("TK_FLUSH_MS"), QString::number(flush)},
                                               {QStringLiteral("TK_FLUSH_LOG"), log}}));
        caller.start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("--call-every"), QString::number(interval), folder.path()});
        QVERIFY(caller.waitForStarted());
        QTest::qSleep(int(chance.bounded(6 * interval, 16 * interval)));
        ::kill(pid_t(caller.processId()), SIGKILL);
        QVERIFY(caller.waitForFinished());
        const int made = caller.readAllStandardOutput().trimmed().split('\n').constLast().toInt();
        const int onDisk = recordCount(folder.path() + QStringLiteral("/game.txt"));
        QVERIFY2(onDisk >= 1, "the record on disk reads back whole");

        int lastPlaced = 0;
        int inFlight = 0; // writes begun and not yet put in place or dropped, as far as seen
        for (const QByteArray &line : fileText(log).split('\n')) {
            const QList<QByteArray> event = line.split(' ');
            if (event.size() != 2)
                continue;
            const int count = event[1].toInt();
            if (event[0] == "begin") {
                // A record starts on its way beside a slower write, not after it.
                if (inFlight > 0)
                    ++overlapped;
                ++inFlight;
            } else if (event[0] == "placed") {
                QVERIFY2(count > lastPlaced, qPrintable(QStringLiteral("record %1 put in place after %2").arg(count).arg(lastPlaced)));
                lastPlaced = count;
                inFlight = 0; // every older write in flight is dropped once a newer one is in place
            }
        }
        QVERIFY2(onDisk >= lastPlaced, qPrintable(QStringLiteral("%1 on disk, %2 put in place last").arg(onDisk).arg(lastPlaced)));
        const int lost = made - onDisk;
        worst = std::max(worst, lost);
        total += lost;
    }
    QFile::remove(log);
    qInfo("flush %d ms, a call every %d ms: at most %d calls lost at a kill, %.1f on average; %d writes began "
          "beside a slower one", flush, interval, worst, double(total) / rounds, overlapped);
    // Writes longer than the interval between calls run side by side, or the calls would
    // queue behind the disk.
    if (flush > interval)
        QVERIFY(overlapped > 0);
}

// A record's text or a file's name reaches the terminal as words, never as a command.
void TestRecord::errorOutputShowsControlCharactersEscaped()
{
    QTemporaryDir folder;
    writeFile(folder.path() + QStringLiteral("/game.txt"),
              QByteArray(threeCalls().text()).replace("prizes early-five", "prizes \x1b]0;owned\x07\x1b[2J"));
    QByteArray errors;
    runMode({QStringLiteral("--read-once"), folder.path()}, &errors);
    QVERIFY2(errors.contains("cannot be resumed (an unknown prize"), errors.constData());
    QVERIFY2(errors.contains("\\x1b]0;owned\\x07\\x1b[2J"), errors.constData());
    for (const char c : errors)
        QVERIFY2(c == '\n' || static_cast<unsigned char>(c) >= 0x20, errors.toPercentEncoding().constData());
}

void TestRecord::gameResumesOnlyARecordOfAGameInProgress_data()
{
    QTest::addColumn<GameRecord>("record");
    GameRecord none = gameOf(0);
    QTest::newRow("called 0") << none;
    GameRecord ended = gameOf(12);
    ended.ended = true;
    QTest::newRow("ended by the host") << ended;
    QTest::newRow("all ninety called") << gameOf(GameState::Numbers);
    GameRecord fewerCalls = gameOf(12);
    fewerCalls.calls.pop_back();
    QTest::newRow("fewer calls than counted") << fewerCalls;
    GameRecord outOfOrder = gameOf(12);
    outOfOrder.calls[4].number = 1;
    QTest::newRow("a call not in the order") << outOfOrder;
}

// Whatever a keeper hands over, the game puts back only a game in progress; anything
// else is a fresh game, never a crash.
void TestRecord::gameResumesOnlyARecordOfAGameInProgress()
{
    QFETCH(GameRecord, record);
    HandingKeeper keeper(record);
    GameRig rig;
    rig.game.setKeeper(&keeper);
    QVERIFY(!rig.game.offerResume());
    QVERIFY(rig.question.asked.isEmpty());
    QCOMPARE(rig.game.state().callcount, 0);
    QVERIFY(rig.game.calls().empty());
}

void TestRecord::resumeQuestionCountsInWords()
{
    HandingKeeper one(gameOf(1));
    GameRig rig;
    rig.game.setKeeper(&one);
    QVERIFY(rig.game.offerResume());
    QCOMPARE(rig.question.asked.value(0), QStringLiteral("Do You Wish To Resume The Game In Progress\n\n"
                                                         "1 number called, the last was 90.|Game In Progress"));
    GameRecord behind = gameOf(7);
    behind.behind = true;
    HandingKeeper later(behind);
    GameRig second;
    second.game.setKeeper(&later);
    QVERIFY(second.game.offerResume());
    QVERIFY2(second.question.asked.value(0).contains(QStringLiteral("The record may be behind")),
             qPrintable(second.question.asked.value(0)));
    QVERIFY(second.question.asked.value(0).contains(QStringLiteral("7 numbers called on record, the last number kept was 84.")));
}

// A logout while the question is open ends the program; the game it asked about stays on
// record, to be offered again.
void TestRecord::programEndedDuringTheResumeQuestionLeavesTheRecord()
{
    QTemporaryDir folder;
    {
        RecordFile keeper(folder.path());
        keeper.keep(gameOf(37));
    }
    const QByteArray before = fileText(folder.path() + QStringLiteral("/game.txt"));
    {
        RecordFile keeper(folder.path());
        GameRig rig;
        rig.game.setKeeper(&keeper);
        rig.question.whileOpen = [&rig] { rig.game.endProgram(); };
        rig.question.answers = {false}; // the box, cut short, reads as No
        QVERIFY(!rig.game.offerResume());
        QCOMPARE(rig.quitter.ended, 1);
    }
    QCOMPARE(fileText(folder.path() + QStringLiteral("/game.txt")), before);
    RecordFile keeper(folder.path());
    GameRecord record;
    QVERIFY(keeper.interrupted(record));
    QCOMPARE(record.callcount, 37);
}

// The game goes on when its record cannot be written (here a full disk: no file may
// grow past 256 bytes); the host's window says so in a line of its own, the reader says it once,
// the hall's display shows nothing of it; when writing works again the line goes. A run
// that ends while failing leaves word for the next start that the record may be behind.
void TestRecord::unwritableRecordIsToldInTheWindowAndToTheReader()
{
    QTemporaryDir folder;
    const QString path = folder.path() + QStringLiteral("/game.txt");
    std::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails instead of ending the test
    rlimit limits {};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &limits), 0);
    const rlimit roomy = limits;
    rlimit full = limits;
    full.rlim_cur = 256;
    // A failing check leaves the test at once: the disk is roomy again for the next.
    const std::unique_ptr<const rlimit, void (*)(const rlimit *)> restore(&roomy, [](const rlimit *limit) {
        ::setrlimit(RLIMIT_FSIZE, limit);
    });
    auto recordCount = [&path] {
        GameRecord record;
        QString why;
        return GameRecord::read(fileText(path), record, why) == GameRecord::Reading::Read ? record.callcount : -1;
    };
    int keptCount = 0;
    std::int16_t keptNumber = 0;
    {
        RecordFile keeper(folder.path());
        WindowRig rig;
        rig.game().setKeeper(&keeper);
        rig.game().offerResume();
        rig.cmdStart()->click();
        rig.game().findChild<QTimer *>(QStringLiteral("tmrRand"))->stop(); // ticked by hand only
        rig.tick(5);
        QTRY_COMPARE(recordCount(), 5);
        auto *line = rig.find<QLabel>("lblRecord");
        QVERIFY(!line || !line->isVisible());
        const QSize kept = rig.window.size();
        rig.action("mnuHall")->trigger();
        auto *hall = rig.window.findChild<HallDisplay *>();
        QVERIFY(hall);
        auto notices = [&rig](const QString &start) {
            int count = 0;
            for (QWidget *notice : rig.window.findChildren<QWidget *>(QStringLiteral("readerNotice"))) {
                if (notice->accessibleName().startsWith(start))
                    ++count;
            }
            return count;
        };

        const QPoint centre = rig.window.frameGeometry().center();
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &full), 0);
        rig.tick(3);
        QTRY_VERIFY(rig.find<QLabel>("lblRecord") && rig.find<QLabel>("lblRecord")->isVisible());
        // Taller by the line, and still centred where it was.
        QTRY_VERIFY2((rig.window.frameGeometry().center() - centre).manhattanLength() <= 1,
                     qPrintable(QStringLiteral("centre moved by %1 px").arg((rig.window.frameGeometry().center() - centre).y())));
        line = rig.find<QLabel>("lblRecord");
        QVERIFY2(line->text().startsWith(QStringLiteral("This game is not being kept, so a crash would lose it: ")),
                 qPrintable(line->text()));
        QVERIFY2(line->text().contains(QStringLiteral("game.txt")), qPrintable(line->text()));
        QCOMPARE(rig.game().notKept().isEmpty(), false);
        QCOMPARE(rig.game().state().running, 1); // the game goes on
        QCOMPARE(rig.game().state().callcount, 8);
        QCOMPARE(recordCount(), 5);
        rig.tick(3); // more failed writes: said once
        QTest::qWait(100);
        QCOMPARE(notices(QStringLiteral("This game is not being kept")), 1);
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &roomy), 0);
        QVERIFY(rig.window.height() > kept.height()); // a line of its own, below the board
        QVERIFY(line->mapTo(&rig.window, QPoint(0, line->height())).y() <= rig.window.height());
        rig.window.grab().save(QStringLiteral("%1/record-not-kept.png").arg(qEnvironmentVariable("TK_ARTIFACTS")));
        for (QLabel *label : hall->findChildren<QLabel *>())
            QVERIFY(!label->text().contains(QStringLiteral("kept")));

        rig.tick();
        QTRY_VERIFY(!line->isVisible());
        QCOMPARE(rig.window.size(), kept);
        QTRY_VERIFY((rig.window.frameGeometry().center() - centre).manhattanLength() <= 1);
        QCOMPARE(notices(QStringLiteral("The game is kept again")), 1);
        QTRY_COMPARE(recordCount(), 12);

        // Failing again, and the program dies before writing works once more.
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &full), 0);
        keptCount = rig.game().state().callcount;
        keptNumber = rig.game().calls().back().number;
        rig.tick(2);
        QTRY_VERIFY(line->isVisible());
    }
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &roomy), 0);
    QCOMPARE(recordCount(), keptCount);

    {
        RecordFile keeper(folder.path());
        WindowRig rig;
        rig.game().setKeeper(&keeper);
        QVERIFY(rig.game().offerResume());
        const QString asked = rig.question.asked.value(0);
        QVERIFY2(asked.contains(QStringLiteral("The record may be behind")), qPrintable(asked));
        QVERIFY2(asked.contains(QStringLiteral("%1 numbers called on record, the last number kept was %2.")
                                    .arg(keptCount)
                                    .arg(keptNumber)),
                 qPrintable(asked));
        rig.cmdStart()->click();
        rig.tick();
        QTRY_COMPARE(recordCount(), keptCount + 1);
    }
    // Kept again, so the next start is not told the record is behind.
    RecordFile keeper(folder.path());
    GameRecord record;
    QVERIFY(keeper.interrupted(record));
    QVERIFY(!record.behind);
}

// Two writers' words, sent after their locks are let go, may arrive in either order: the
// window is told a word only when it is newer than the last one it was told.
void TestRecord::olderWordArrivingLateIsNeverTold()
{
    QTemporaryDir folder;
    RecordFile keeper(folder.path());
    Told told(keeper);
    Q_EMIT keeper.troubleChanged(2, QString());
    Q_EMIT keeper.troubleChanged(1, QStringLiteral("the disk is full"));
    Q_EMIT keeper.troubleChanged(4, QStringLiteral("the disk is read-only"));
    Q_EMIT keeper.troubleChanged(3, QString());
    QTRY_COMPARE(told.said, (QStringList{QString(), QStringLiteral("the disk is read-only")}));
}

// Two writers tell their outcomes after letting go of their locks, so the window can hear
// them in either order. Over a flaky disk (flushes slowed and failing at random), cycle
// after cycle ends with a good or a failing last write: the last word the host hears is
// then the keeper's own, and it matches the disk.
void TestRecord::hostIsToldTheKeepersWordOverAFlakyDisk()
{
    QTemporaryDir folder;
    const QString control = folder.path() + QStringLiteral("/disk");
    const QString records = folder.path() + QStringLiteral("/state");
    QProcess child;
    child.setProcessEnvironment(slowDisk({{QStringLiteral("TK_FLUSH_JITTER_MS"), QStringLiteral("3")},
                                          {QStringLiteral("TK_FLUSH_FAIL"), QStringLiteral("30")},
                                          {QStringLiteral("TK_FLUSH_CONTROL"), control}}));
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--flaky-cycles"), records, QStringLiteral("300")});
    QVERIFY(child.waitForFinished(240000));
    const QByteArray said = child.readAllStandardOutput();
    qInfo("%s", said.trimmed().split('\n').constLast().constData());
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
             (said + child.readAllStandardError()).constData());
}

// A flush of the folder that fails means the rename may not survive a power cut: the
// write has failed, and so has the making of a new folder.
void TestRecord::folderFlushThatFailsIsAFailedWrite()
{
    QTemporaryDir folder;
    QProcess child;
    child.setProcessEnvironment(slowDisk({{QStringLiteral("TK_FLUSH_FAIL"), QStringLiteral("folders")}}));
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--flush-folders-failing"), folder.path()});
    QVERIFY(child.waitForFinished(20000));
    const QList<QByteArray> said = child.readAllStandardOutput().trimmed().split('\n');
    QCOMPARE(said.size(), 2);
    QVERIFY2(said[0].startsWith("write 0 the folder") && said[0].contains("cannot be flushed to the disk"),
             said[0].constData());
    QVERIFY2(said[1].startsWith("make 0 the folder") && said[1].contains("cannot be flushed to the disk"),
             said[1].constData());
}

// The keeper checks before each write that its lock is on the file at the lock's path. A
// lock or a folder removed while it runs is taken again, and the game stays kept; a lock
// removed and then taken by a second caller stops this one's writing, and the host is told.
void TestRecord::lockRemovedIsTakenAgainOrTheGameIsNotKept()
{
    QTemporaryDir folder;
    const QString path = folder.path() + QStringLiteral("/game.txt");
    const QString lock = folder.path() + QStringLiteral("/lock");
    {
        RecordFile keeper(folder.path());
        Told told(keeper);
        keeper.keep(gameOf(5));
        QTRY_COMPARE(recordCount(path), 5);

        QVERIFY(QFile::remove(lock));
        keeper.keep(gameOf(6));
        QTRY_COMPARE(recordCount(path), 6);
        QByteArray errors;
        runMode({QStringLiteral("--read-once"), folder.path()}, &errors);
        QVERIFY2(errors.contains("another caller is keeping its game"), errors.constData());

        QVERIFY(QDir(folder.path()).removeRecursively());
        keeper.keep(gameOf(7));
        QTRY_COMPARE(recordCount(path), 7);
        errors.clear();
        runMode({QStringLiteral("--read-once"), folder.path()}, &errors);
        QVERIFY2(errors.contains("another caller is keeping its game"), errors.constData());
        QCoreApplication::processEvents();
        QCOMPARE(told.said, QStringList()); // kept all along

        QVERIFY(QFile::remove(lock));
        QProcess other;
        other.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--write-forever"), folder.path()});
        QVERIFY(other.waitForReadyRead(10000));
        int seen = 0;
        auto othersOnly = [&path, &seen] {
            seen = recordCount(path);
            return seen == 2 || seen == 3;
        };
        QTRY_VERIFY(othersOnly());
        keeper.keep(gameOf(8));
        QTRY_COMPARE(told.said.size(), 1);
        QVERIFY2(told.said[0].contains(QStringLiteral("another caller is keeping its game")), qPrintable(told.said[0]));
        keeper.keep(gameOf(9));
        for (int look = 0; look < 50; ++look)
            QVERIFY2(othersOnly(), qPrintable(QString::number(seen)));
        ::kill(pid_t(other.processId()), SIGKILL);
        QVERIFY(other.waitForFinished());
        keeper.keep(gameOf(10)); // the other gone, its lock free: still not this one's record
    } // every write done
    QVERIFY2(recordCount(path) == 2 || recordCount(path) == 3, qPrintable(QString::number(recordCount(path))));
}

void TestRecord::folderUnusableAtStartIsTriedAgainAtEachCall_data()
{
    QTest::addColumn<QString>("broken");
    QTest::addColumn<bool>("waiting");
    // Nothing of the folder can be read: the game left there, found late, is replaced.
    QTest::newRow("a file where the folder should be") << "parent" << false;
    // The record can be read, the lock not taken: the game waiting there is offered.
    QTest::newRow("a folder where the lock should be") << "lock" << true;
}

// A state folder or lock that cannot be used at start is tried again at each call; once it
// works the game is written and the host hears it is kept again.
void TestRecord::folderUnusableAtStartIsTriedAgainAtEachCall()
{
    QFETCH(QString, broken);
    QFETCH(bool, waiting);
    QTemporaryDir home;
    const QString parent = home.path() + QStringLiteral("/state");
    const QString folder = parent + QStringLiteral("/tabro-kalvor");
    const QString path = folder + QStringLiteral("/game.txt");
    {
        RecordFile earlier(folder);
        earlier.keep(gameOf(12));
    }
    if (broken == QLatin1String("parent")) {
        QVERIFY(QDir(parent).removeRecursively());
        writeFile(parent, "not a folder");
    } else {
        QVERIFY(QFile::remove(folder + QStringLiteral("/lock")));
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/lock/inside")));
    }
    RecordFile keeper(folder);
    Told told(keeper);
    GameRecord record;
    QCOMPARE(keeper.interrupted(record), waiting);
    QCOMPARE(record.callcount, waiting ? 12 : 0);
    QVERIFY(!holdsStateFolder(folder));
    keeper.keep(gameOf(13));
    QTRY_COMPARE(told.said.size(), 1);
    QVERIFY(!told.said[0].isEmpty());
    QCOMPARE(recordCount(path), waiting ? 12 : -1); // nothing moved, nothing written

    if (broken == QLatin1String("parent")) {
        QVERIFY(QFile::remove(parent));
        QVERIFY(QDir().mkpath(folder));
        writeFile(path, gameOf(12).text()); // the game left there, found once the folder is mended
    } else {
        QVERIFY(QDir(folder + QStringLiteral("/lock")).removeRecursively());
    }
    keeper.keep(gameOf(14));
    QTRY_COMPARE(told.said.size(), 2);
    QCOMPARE(told.said[1], QString());
    QCOMPARE(recordCount(path), 14);
    QVERIFY(holdsStateFolder(folder));
}

// The host ends the caller (a logout, TERM) while a slow disk still takes its last
// records, and starts it again at once: the new caller waits for the old one to finish,
// then offers its game, and the next start does not wait at all.
void TestRecord::relaunchWaitsForACallerEndingOnASlowDisk()
{
    QTemporaryDir folder;
    QProcess ending;
    ending.setProcessEnvironment(slowDisk({{QStringLiteral("TK_FLUSH_MS"), QStringLiteral("700")}}));
    ending.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--end-slowly"), folder.path()});
    QVERIFY(ending.waitForReadyRead(20000));
    QCOMPARE(ending.readLine(), QByteArray("ending\n"));
    {
        RecordFile next(folder.path());
        GameRecord record;
        QVERIFY(next.interrupted(record));
        QCOMPARE(record.callcount, 6);
        QVERIFY(ending.waitForFinished(20000));
        QVERIFY(!StateFolderLock::noteIn(folder.path()).contains("ending"));
    }
}

int main(int argc, char *argv[])
{
    if (argc == 3 && qstrcmp(argv[1], "--write-forever") == 0)
        return writeForever(argv[2]);
    if (argc == 4 && qstrcmp(argv[1], "--call-every") == 0)
        return callEvery(argv[2], argv[3]);
    if (argc == 3 && qstrcmp(argv[1], "--write-once") == 0)
        return writeOnce(argv[2]);
    if (argc == 3 && qstrcmp(argv[1], "--read-once") == 0)
        return readOnce(argv[2]);
    if (argc == 4 && qstrcmp(argv[1], "--flaky-cycles") == 0)
        return flakyCycles(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--end-slowly") == 0)
        return endSlowly(argv[2]);
    if (argc == 3 && qstrcmp(argv[1], "--flush-folders-failing") == 0)
        return flushFoldersFailing(argv[2]);
    QApplication app(argc, argv);
    TestRecord test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_record.moc"
