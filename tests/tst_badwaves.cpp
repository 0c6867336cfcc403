#include "clipstore.h"
#include "fakeoutput.h"
#include "playwave.h"
#include "recordings.h"
#include "wavefiles.h"
#include "announcements.h"
#include "windowrig.h"

#include <QMessageBox>
#include <QTemporaryDir>

#include <QTemporaryFile>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

using wavefiles::wave;

namespace {

// A good recording of n is a tone of 1000 + n samples, so what played can be told apart.
std::size_t goodLength(int n)
{
    return std::size_t(1000 + n);
}

struct Played
{
    QStringList shown; // number and count after every call
    std::vector<std::size_t> lengths;
    GameState after;
};

// A full game over the folder with 45 then 46 called first; the real window and player.
Played playGame(const QString &directory, bool muted)
{
    ClipStore clips;
    FakeOutput output;
    readAhead(clips, directory, output.rate); // calls find every recording read, so what plays comes in order
    Announcements voice(clips, output, directory);
    FakeQuestion question;
    FakeQuitter quitter;
    ScriptedRandom random(45);
    random.script = {44.0f / 89, 45.0f / 89}; // 45, then 46
    Game game(voice, question, quitter, random);
    frmKalvor window(game, voice);
    if (muted)
        game.mnuMute_Click();
    game.cmdStart_Click();
    Played played;
    for (int i = 0; i < 90; ++i) {
        game.tmrRand_Timer();
        played.shown << window.calledText() + QLatin1Char('/') + window.findChild<QLineEdit *>(QStringLiteral("txtCtr"))->text();
    }
    for (const ClipPtr &clip : output.plays)
        played.lengths.push_back(clip->samples.size());
    played.after = game.state();
    // A recording too long to keep is read when it is called, on the store's thread: what it
    // says is said before the game is over, however busy the machine.
    waitForStore(clips);
    return played;
}

} // namespace

class TestBadWaves : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void callingGoesOnOverAnyFile_data();
    void callingGoesOnOverAnyFile();
};

void TestBadWaves::callingGoesOnOverAnyFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("plays");
    QTest::addColumn<QString>("reason"); // what the error output says of 45.wav, once
    const QString plain = QStringLiteral("caller");
    const QString none;
    QTest::newRow("no file") << QStringLiteral("missing") << plain << false << QStringLiteral("no such file");
    QTest::newRow("zero bytes") << QStringLiteral("empty") << plain << false << QStringLiteral("an empty file");
    QTest::newRow("header with no data") << QStringLiteral("header") << plain << false << QStringLiteral("not a sound file");
    QTest::newRow("truncated data plays what is there") << QStringLiteral("truncated") << plain << true << none;
    QTest::newRow("random bytes") << QStringLiteral("random") << plain << false << QStringLiteral("not a sound file");
    QTest::newRow("text named like a wave") << QStringLiteral("text") << plain << false << QStringLiteral("not a sound file");
    QTest::newRow("a folder named 45.wav") << QStringLiteral("folder") << plain << false << QStringLiteral("a folder");
    QTest::newRow("a named pipe named 45.wav") << QStringLiteral("fifo") << plain << false << QStringLiteral("a named pipe");
    QTest::newRow("unreadable file") << QStringLiteral("unreadable") << plain << false << QStringLiteral("permission denied");
    QTest::newRow("100 MB file, 40 minutes") << QStringLiteral("huge") << plain << false << QStringLiteral("longer than 10 minutes");
    QTest::newRow("8-bit plays") << QStringLiteral("8bit") << plain << true << none;
    QTest::newRow("48 kHz plays") << QStringLiteral("48k") << plain << true << none;
    QTest::newRow("stereo plays") << QStringLiteral("stereo") << plain << true << none;
    QTest::newRow("float plays") << QStringLiteral("float") << plain << true << none;
    QTest::newRow("folder with spaces and accents") << QStringLiteral("good") << QStringLiteral("Bingo Hall – Café Ünïcode") << true << none;
}

void TestBadWaves::callingGoesOnOverAnyFile()
{
    QFETCH(QString, kind);
    QFETCH(QString, folder);
    QFETCH(bool, plays);
    QFETCH(QString, reason);
    QTemporaryDir temporary;
    QVERIFY(QDir(temporary.path()).mkpath(folder));
    const QString directory = temporary.filePath(folder);
    for (int n = 1; n <= 90; ++n)
        QVERIFY(wavefiles::writeFile(wavePath(directory, QString::number(n) + QStringLiteral(".wav")),
                                     wave(1, 22050, 16, int(goodLength(n)))));
    const QString path = wavePath(directory, QStringLiteral("45.wav"));
    const QByteArray good = wave(1, 22050, 16, int(goodLength(45)));
    QFile::remove(path);
    if (kind == QStringLiteral("empty")) {
        QVERIFY(wavefiles::writeFile(path, QByteArray()));
    } else if (kind == QStringLiteral("header")) {
        QVERIFY(wavefiles::writeFile(path, good.left(36)));
    } else if (kind == QStringLiteral("truncated")) {
        QVERIFY(wavefiles::writeFile(path, good.left(good.size() / 2)));
    } else if (kind == QStringLiteral("random")) {
        QVERIFY(wavefiles::writeFile(path, wavefiles::noise(4096, 45)));
    } else if (kind == QStringLiteral("text")) {
        QVERIFY(wavefiles::writeFile(path, QByteArray("forty-five\n")));
    } else if (kind == QStringLiteral("folder")) {
        QVERIFY(QDir(directory).mkdir(QStringLiteral("45.wav")));
    } else if (kind == QStringLiteral("fifo")) {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (kind == QStringLiteral("unreadable")) {
        QVERIFY(wavefiles::writeFile(path, good));
        QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions()));
        plays = ::access(QFile::encodeName(path).constData(), R_OK) == 0; // root reads anything
        if (plays)
            reason.clear();
    } else if (kind == QStringLiteral("huge")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QByteArray header = good.left(44);
        header.replace(40, 4, QByteArray("\x00\x00\x40\x06", 4)); // data of 100 MiB
        file.write(header);
        QVERIFY(file.resize(100LL * 1024 * 1024 + 44));
    } else if (kind == QStringLiteral("8bit")) {
        QVERIFY(wavefiles::writeFile(path, wave(1, 22050, 8, int(goodLength(45)))));
    } else if (kind == QStringLiteral("48k")) {
        QVERIFY(wavefiles::writeFile(path, wave(1, 48000, 16, 4800)));
    } else if (kind == QStringLiteral("stereo")) {
        QVERIFY(wavefiles::writeFile(path, wave(2, 22050, 16, int(goodLength(45)))));
    } else if (kind == QStringLiteral("float")) {
        QVERIFY(wavefiles::writeFile(path, wave(1, 44100, 32, 4410, 3)));
    } else if (kind == QStringLiteral("good")) {
        QVERIFY(wavefiles::writeFile(path, good));
    }

    // What the program says on the error output while it plays the game.
    QTemporaryFile said;
    QVERIFY(said.open());
    std::fflush(stderr);
    const int savedError = ::dup(2);
    ::dup2(said.handle(), 2);
    const Played heard = playGame(directory, false);
    std::fflush(stderr);
    ::dup2(savedError, 2);
    ::close(savedError);
    said.seek(0);
    const QString errors = QString::fromLocal8Bit(said.readAll());
    const int named = int(errors.count(QStringLiteral("45.wav: ")));
    QCOMPARE(named, reason.isEmpty() ? 0 : 1);
    if (!reason.isEmpty())
        QVERIFY2(errors.contains(QStringLiteral("45.wav: ") + reason), qPrintable(errors));
    const Played silent = playGame(directory, true);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    // The calling went on exactly as with sound off.
    QCOMPARE(heard.shown.size(), 90);
    QCOMPARE(heard.shown, silent.shown);
    QCOMPARE(heard.after.callorder, silent.after.callorder);
    QCOMPARE(heard.after.callpos, silent.after.callpos);
    QCOMPARE(heard.shown.first(), QStringLiteral("45/ 1"));
    QVERIFY(silent.lengths.empty());
    // 45 was heard only if it could be; the next good file, 46, played right after.
    QCOMPARE(heard.lengths.size(), std::size_t(plays ? 90 : 89));
    QCOMPARE(heard.lengths[plays ? 1 : 0], goodLength(46));
    if (plays)
        QVERIFY(heard.lengths[0] > 0);
    for (QWidget *window : QApplication::topLevelWidgets())
        QVERIFY2(!(qobject_cast<QMessageBox *>(window) && window->isVisible()), "a message box appeared");
}

QTEST_MAIN(TestBadWaves)
#include "tst_badwaves.moc"
