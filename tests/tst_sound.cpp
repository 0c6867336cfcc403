#include "clipstore.h"
#include "fakes.h"
#include "game.h"
#include "playwave.h"
#include "wavedecoder.h"
#include "wavefiles.h"
#include "waveplayer.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using wavefiles::put32;
using wavefiles::wave;

namespace {

class FakeOutput : public AudioOutput
{
public:
    void play(const ClipPtr &clip) override { plays.push_back(clip); }
    std::vector<ClipPtr> plays;
};

double peak(const ClipPtr &clip)
{
    int most = 0;
    for (std::int16_t s : clip->samples)
        most = std::max(most, std::abs(int(s)));
    return most / 32768.0;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QVERIFY(wavefiles::writeFile(path, bytes));
}

// A player over a fresh folder holding 7.wav, a tenth of a second long.
struct PlayerRig
{
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("7.wav"));
    ClipStore store;
    FakeOutput output;
    WavePlayer player{store, output};

    PlayerRig() { writeFile(path, wave(1, 22050, 16, 2205)); }
};

} // namespace

class TestSound : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decodesPlayableFormats_data();
    void decodesPlayableFormats();
    void refusesBrokenFiles_data();
    void refusesBrokenFiles();
    void skipsUnknownChunks();
    void commandWordsInAnyCasePlayOnce_data();
    void commandWordsInAnyCasePlayOnce();
    void onlyTheWaveDeviceOpens();
    void soundWithoutOpenOrAfterClosePlaysNothing();
    void missingAndCorruptFilesAreSilentAndTheNextPlays();
    void storeReadsEachFileOnce();
    void pathAlwaysGetsASeparator();
    void gameGoesOnOverBadFilesAsIfMuted();
};

void TestSound::decodesPlayableFormats_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<double>("seconds");
    QTest::newRow("16-bit mono 22050") << wave(1, 22050, 16, 22050) << 1.0;
    QTest::newRow("8-bit mono 22050") << wave(1, 22050, 8, 11025) << 0.5;
    QTest::newRow("16-bit stereo 48000") << wave(2, 48000, 16, 24000) << 0.5;
    QTest::newRow("24-bit mono 44100") << wave(1, 44100, 24, 44100) << 1.0;
    QTest::newRow("float stereo 44100") << wave(2, 44100, 32, 4410, 3) << 0.1;
    QTest::newRow("16-bit mono 8000") << wave(1, 8000, 16, 8000) << 1.0;
}

void TestSound::decodesPlayableFormats()
{
    QFETCH(QByteArray, bytes);
    QFETCH(double, seconds);
    const ClipPtr clip = WaveDecoder::decode(bytes);
    QVERIFY(clip);
    QVERIFY(std::abs(clip->seconds() - seconds) < 0.002);
    // The tone keeps its level through mixing and resampling.
    QVERIFY2(std::abs(peak(clip) - 0.5) < 0.02, qPrintable(QString::number(peak(clip))));
}

void TestSound::refusesBrokenFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray good = wave(1, 22050, 16, 2205);
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("header only") << good.left(44 - 8);
    QTest::newRow("no data in the data chunk") << good.left(44).replace(40, 4, QByteArray(4, '\0'));
    QTest::newRow("truncated data") << good.left(good.size() - 100);
    QTest::newRow("text named like a wave") << QByteArray("this is not a recording\n");
    QByteArray noFormat = good;
    noFormat.replace(12, 4, "junk");
    QTest::newRow("data before any format") << noFormat;
    QByteArray compressed = good;
    compressed[20] = 2; // ADPCM
    QTest::newRow("compressed") << compressed;
    QByteArray noChannels = good;
    noChannels[22] = 0;
    QTest::newRow("no channels") << noChannels;
    QByteArray hugeChunk = good;
    hugeChunk.replace(16, 4, QByteArray("\xff\xff\xff\xff", 4));
    QTest::newRow("format chunk larger than the file") << hugeChunk;
    QByteArray random(5000, '\0');
    quint32 x = 12345;
    for (char &c : random) {
        x = x * 1664525u + 1013904223u;
        c = char(x >> 24);
    }
    QTest::newRow("random bytes") << random;
    QTest::newRow("random bytes behind a RIFF header") << QByteArray("RIFF\x10\0\0\0WAVE", 12) + random;
}

void TestSound::refusesBrokenFiles()
{
    QFETCH(QByteArray, bytes);
    QVERIFY(!WaveDecoder::decode(bytes));
}

void TestSound::skipsUnknownChunks()
{
    QByteArray bytes = wave(1, 22050, 16, 2205);
    QByteArray list("LIST");
    put32(list, 3);
    list.append("abc");
    list.append('\0'); // odd chunks are padded to even
    bytes.insert(12, list);
    const ClipPtr clip = WaveDecoder::decode(bytes);
    QVERIFY(clip);
    QCOMPARE(clip->samples.size(), std::size_t(2205));
}

void TestSound::commandWordsInAnyCasePlayOnce_data()
{
    QTest::addColumn<QStringList>("words");
    QTest::newRow("main window") << QStringList{QStringLiteral("Open"), QStringLiteral("Sound"), QStringLiteral("Close")};
    QTest::newRow("information window") << QStringList{QStringLiteral("open"), QStringLiteral("sound"), QStringLiteral("close")};
    QTest::newRow("shouting") << QStringList{QStringLiteral("OPEN"), QStringLiteral("SOUND"), QStringLiteral("CLOSE")};
}

void TestSound::commandWordsInAnyCasePlayOnce()
{
    QFETCH(QStringList, words);
    PlayerRig rig;
    rig.player.setDeviceType(QStringLiteral("WaveAudio"));
    rig.player.setFileName(rig.path);
    for (const QString &word : words)
        rig.player.setCommand(word);
    QCOMPARE(rig.output.plays.size(), std::size_t(1));
    QCOMPARE(rig.output.plays.front()->samples.size(), std::size_t(2205));
    QVERIFY(!rig.player.isOpen()); // closed again, while the sound goes on
}

void TestSound::onlyTheWaveDeviceOpens()
{
    PlayerRig rig;
    playwave(rig.player, rig.path);
    QVERIFY(rig.output.plays.empty()); // no device type yet
    rig.player.setDeviceType(QStringLiteral("CDAudio"));
    playwave(rig.player, rig.path);
    QVERIFY(rig.output.plays.empty());
    rig.player.setDeviceType(QStringLiteral("waveaudio"));
    playwave(rig.player, rig.path);
    QCOMPARE(rig.output.plays.size(), std::size_t(1));
}

void TestSound::soundWithoutOpenOrAfterClosePlaysNothing()
{
    PlayerRig rig;
    rig.player.setDeviceType(QStringLiteral("WaveAudio"));
    rig.player.setFileName(rig.path);
    rig.player.setCommand(QStringLiteral("Sound"));
    rig.player.setCommand(QStringLiteral("Open"));
    rig.player.setCommand(QStringLiteral("Close"));
    rig.player.setCommand(QStringLiteral("Sound"));
    rig.player.setCommand(QStringLiteral("Rewind"));
    QVERIFY(rig.output.plays.empty());
}

void TestSound::missingAndCorruptFilesAreSilentAndTheNextPlays()
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("2.wav")), QByteArray());
    writeFile(dir.filePath(QStringLiteral("3.wav")), QByteArray("RIFF....WAVE nonsense"));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("4.wav")));
    writeFile(dir.filePath(QStringLiteral("5.wav")), wave(1, 22050, 16, 2205).left(500));
    writeFile(dir.filePath(QStringLiteral("6.wav")), wave(1, 22050, 16, 2205));
    ClipStore store;
    FakeOutput output;
    WavePlayer player(store, output);
    for (int n = 1; n <= 6; ++n) {
        player.setDeviceType(QStringLiteral("WaveAudio"));
        playwave(player, wavePath(dir.path(), QString::number(n) + QStringLiteral(".wav")));
    }
    QCOMPARE(output.plays.size(), std::size_t(1));
    QCOMPARE(output.plays.front()->samples.size(), std::size_t(2205));
}

void TestSound::storeReadsEachFileOnce()
{
    QTemporaryDir dir;
    for (int n = 1; n <= 90; ++n)
        writeFile(wavePath(dir.path(), QString::number(n) + QStringLiteral(".wav")), wave(1, 22050, 16, 100 + n));
    ClipStore store;
    store.preload(dir.path());
    QCOMPARE(store.size(), 91); // ninety numbers and the greeting, missing here
    // Later changes on disk are not read again: the call never waits for a file.
    QVERIFY(QFile::remove(wavePath(dir.path(), QStringLiteral("45.wav"))));
    const ClipPtr clip = store.clip(wavePath(dir.path(), QStringLiteral("45.wav")));
    QVERIFY(clip);
    QCOMPARE(clip->samples.size(), std::size_t(145));
    QVERIFY(!store.clip(wavePath(dir.path(), QStringLiteral("program.wav"))));
}

void TestSound::pathAlwaysGetsASeparator()
{
    const QString sep = QDir::separator();
    QCOMPARE(wavePath(QStringLiteral("/opt/caller"), QStringLiteral("7.wav")), QStringLiteral("/opt/caller") + sep + QStringLiteral("7.wav"));
    QCOMPARE(wavePath(QStringLiteral("/opt/caller") + sep, QStringLiteral("7.wav")),
             QStringLiteral("/opt/caller") + sep + sep + QStringLiteral("7.wav"));
}

// A program folder where only some recordings are good: a full game with sound on ends
// exactly like one with sound off, and only the good files are heard.
void TestSound::gameGoesOnOverBadFilesAsIfMuted()
{
    QTemporaryDir dir;
    for (int n = 1; n <= 90; ++n) {
        const QString path = wavePath(dir.path(), QString::number(n) + QStringLiteral(".wav"));
        if (n % 3 == 0)
            writeFile(path, wave(1, 22050, 16, 1000));
        else if (n % 3 == 1)
            writeFile(path, QByteArray("not a wave"));
        // n % 3 == 2: no file at all
    }
    auto playGame = [&](bool muted, std::size_t &heard) {
        FakeBoard board;
        FakeControls controls;
        FakeQuestion question;
        question.answers = {true};
        FakeQuitter quitter;
        ScriptedRandom random(11);
        ClipStore store;
        FakeOutput output;
        WavePlayer player(store, output);
        Game game(board, controls, player, question, quitter, random, dir.path());
        game.Form_Load();
        if (muted)
            game.mnuMute_Click();
        game.cmdStart_Click();
        const auto order = game.state().callorder;
        for (int i = 0; i < 90; ++i)
            game.tmrRand_Timer();
        heard = output.plays.size();
        return std::make_tuple(board.marks, order, controls.counter, controls.called, question.asked.size(),
                               game.state().callpos, game.state().callcount);
    };
    std::size_t heardOn = 0;
    std::size_t heardOff = 0;
    const auto on = playGame(false, heardOn);
    const auto off = playGame(true, heardOff);
    QVERIFY(on == off);
    QCOMPARE(heardOn, std::size_t(30));
    QCOMPARE(heardOff, std::size_t(0));
    QCOMPARE(std::get<4>(on), 1); // one continue question, then a fresh game
}

QTEST_GUILESS_MAIN(TestSound)
#include "tst_sound.moc"
