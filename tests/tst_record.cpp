#include "gamerecord.h"
#include "recordfile.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>
#include <thread>

namespace {
// A game of three calls in a fixed order: 90 down to 1.
GameRecord threeCalls()
{
    GameRecord record;
    for (int i = 1; i <= GameState::Numbers; ++i)
        record.callorder[i] = std::int16_t(GameState::Numbers + 1 - i);
    record.callpos = 4;
    record.callcount = 3;
    record.interval = 2000;
    record.soundflag = 0;
    const qint64 t0 = 1796847303120; // 2026-12-09T20:15:03.120Z
    record.calls = {{1, 90, t0}, {2, 89, t0 + 2000}, {3, 88, t0 + 4001}};
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
    for (bool even = true;; even = !even) {
        keeper.keep(even ? a : b);
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
}
} // namespace

class TestRecord : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void recordReadsBackAsWrittenInAFixedForm();
    void damagedRecordIsRefusedAndMovedAside_data();
    void damagedRecordIsRefusedAndMovedAside();
    void newerRecordIsLeftUntouchedAndNothingIsKept();
    void killedWhileWritingLeavesTheOldOrTheNewRecord();
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
    {
        RecordFile keeper(home.path() + QStringLiteral("/state"));
        keeper.keep(record);
    }
    const QString path = home.path() + QStringLiteral("/state/game.txt");
    QCOMPARE(fileText(path), expected);
    auto mode = [](const QString &where) {
        struct stat info {};
        return ::stat(QFile::encodeName(where).constData(), &info) == 0 ? int(info.st_mode & 0777) : -1;
    };
    QCOMPARE(mode(path), 0600);
    QCOMPARE(mode(home.path() + QStringLiteral("/state")), 0700);
    QCOMPARE(QDir(home.path() + QStringLiteral("/state")).entryList(QDir::Files | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("game.txt")});
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

// A later version's record is not ours to change: it stays, and this run writes nothing.
void TestRecord::newerRecordIsLeftUntouchedAndNothingIsKept()
{
    QTemporaryDir folder;
    const QString path = folder.path() + QStringLiteral("/game.txt");
    const QByteArray newer = QByteArray(threeCalls().text()).replace("record 1", "record 2");
    writeFile(path, newer);
    {
        RecordFile keeper(folder.path());
        GameRecord record;
        QVERIFY(!keeper.interrupted(record));
        keeper.keep(threeCalls());
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
        QVERIFY(writer.waitForStarted());
        QTest::qSleep(int(chance.bounded(2, 40)));
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
    QVERIFY(whole > 100);
}

int main(int argc, char *argv[])
{
    if (argc == 3 && qstrcmp(argv[1], "--write-forever") == 0)
        return writeForever(argv[2]);
    QCoreApplication app(argc, argv);
    TestRecord test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_record.moc"
