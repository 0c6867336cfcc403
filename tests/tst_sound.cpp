#include "announcements.h"
#include "clipstore.h"
#include "fakeoutput.h"
#include "fakes.h"
#include "game.h"
#include "playwave.h"
#include "recordings.h"
#include "wavedecoder.h"
#include "wavefiles.h"
#include "waveplayer.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using wavefiles::put32;
using wavefiles::wave;

namespace {

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

// The bytes as a recording on disk, read as the program reads one.
ClipPtr decoded(const QByteArray &bytes, int rate)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("7.wav"));
    writeFile(path, bytes);
    return WaveDecoder::decodeFile(path, rate);
}

// A player over a fresh folder holding 7.wav, a tenth of a second long.
struct PlayerRig
{
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("7.wav"));
    ClipStore store;
    FakeOutput output;
    std::atomic<unsigned> requests{0};
    WavePlayer player{store, output, requests};

    // The recordings read ahead, as the program reads them before the first call.
    PlayerRig()
    {
        writeFile(path, wave(1, 22050, 16, 2205));
        readAhead(store, dir.path(), output.rate);
    }
};

} // namespace

class TestSound : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decodesEveryWaveEncoding_data();
    void decodesEveryWaveEncoding();
    void refusesFilesWithNothingToPlay_data();
    void refusesFilesWithNothingToPlay();
    void resamplesWithoutAliases_data();
    void resamplesWithoutAliases();
    void commandWordsInAnyCasePlayOnce_data();
    void commandWordsInAnyCasePlayOnce();
    void onlyTheWaveDeviceOpens();
    void soundWithoutOpenOrAfterClosePlaysNothing();
    void missingAndCorruptFilesAreSilentAndTheNextPlays();
    void storeReadsEachFileOncePerRate();
    void pathAlwaysGetsASeparator();
    void announcementsNameTheFilesAndHoldTheOutput();
    void gameGoesOnOverBadFilesAsIfMuted();
};

// Every row is a tone at half scale; it must come out at the output's rate, as long as
// it went in and at its level (the lossy encodings within their own error).
void TestSound::decodesEveryWaveEncoding_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<double>("seconds");
    QTest::addColumn<double>("tolerance");
    QTest::newRow("16-bit mono 22050") << wave(1, 22050, 16, 22050) << 1.0 << 0.02;
    QTest::newRow("8-bit mono 22050") << wave(1, 22050, 8, 11025) << 0.5 << 0.02;
    QTest::newRow("16-bit stereo 48000") << wave(2, 48000, 16, 24000) << 0.5 << 0.02;
    QTest::newRow("24-bit mono 44100") << wave(1, 44100, 24, 44100) << 1.0 << 0.02;
    QTest::newRow("float stereo 44100") << wave(2, 44100, 32, 4410, 3) << 0.1 << 0.02;
    QTest::newRow("16-bit mono 8000") << wave(1, 8000, 16, 8000) << 1.0 << 0.02;
    const int wav = SF_FORMAT_WAV;
    QTest::newRow("mu-law 8000") << wavefiles::encoded(wav | SF_FORMAT_ULAW, 8000, 8000) << 1.0 << 0.03;
    QTest::newRow("A-law 8000") << wavefiles::encoded(wav | SF_FORMAT_ALAW, 8000, 8000) << 1.0 << 0.03;
    QTest::newRow("IMA ADPCM 22050") << wavefiles::encoded(wav | SF_FORMAT_IMA_ADPCM, 22050, 22050) << 1.0 << 0.05;
    QTest::newRow("MS ADPCM 22050") << wavefiles::encoded(wav | SF_FORMAT_MS_ADPCM, 22050, 22050) << 1.0 << 0.05;
    QTest::newRow("GSM 6.10 8000") << wavefiles::encoded(wav | SF_FORMAT_GSM610, 8000, 8000 - 320) << 0.96 << 0.15;
    QTest::newRow("WAVEFORMATEXTENSIBLE") << wavefiles::encoded(SF_FORMAT_WAVEX | SF_FORMAT_PCM_16, 22050, 22050) << 1.0 << 0.02;
    // Whatever libsndfile reads plays, though it is named like a wave file.
    QTest::newRow("AIFF") << wavefiles::encoded(SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 22050, 22050) << 1.0 << 0.02;
    QTest::newRow("FLAC") << wavefiles::encoded(SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 44100) << 1.0 << 0.02;
    QTest::newRow("Ogg Vorbis") << wavefiles::encoded(SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, 44100) << 1.0 << 0.1;
    QByteArray overstated = wave(1, 22050, 16, 11025);
    overstated.replace(40, 4, QByteArray("\x00\x00\x10\x00", 4)); // a megabyte promised
    QTest::newRow("size field overstates the data") << overstated << 0.5 << 0.02;
    const QByteArray full = wave(1, 22050, 16, 22050);
    QTest::newRow("data cut short plays what is there") << full.left(44 + 11025 * 2) << 0.5 << 0.02;
}

void TestSound::decodesEveryWaveEncoding()
{
    QFETCH(QByteArray, bytes);
    QFETCH(double, seconds);
    QFETCH(double, tolerance);
    const ClipPtr clip = decoded(bytes, 22050);
    QVERIFY(clip);
    QCOMPARE(clip->rate, 22050);
    QVERIFY2(std::abs(clip->seconds() - seconds) < 0.03, qPrintable(QString::number(clip->seconds())));
    QVERIFY2(std::abs(peak(clip) - 0.5) < tolerance, qPrintable(QString::number(peak(clip))));
}

void TestSound::refusesFilesWithNothingToPlay_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray good = wave(1, 22050, 16, 2205);
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("header only") << good.left(44 - 8);
    QTest::newRow("no data in the data chunk") << good.left(44).replace(40, 4, QByteArray(4, '\0'));
    QTest::newRow("text named like a wave") << QByteArray("this is not a recording\n");
    QByteArray noChannels = good;
    noChannels[22] = 0;
    QTest::newRow("no channels") << noChannels;
    const QByteArray random = wavefiles::noise(5000, 12345);
    QTest::newRow("random bytes") << random;
    QTest::newRow("random bytes behind a RIFF header") << QByteArray("RIFF\x10\0\0\0WAVE", 12) + random;
}

void TestSound::refusesFilesWithNothingToPlay()
{
    QFETCH(QByteArray, bytes);
    QVERIFY(!decoded(bytes, 22050));
}

// A tone above the output's band must vanish, not fold back as another tone; one inside
// it must keep its level. Rates both ways and a ratio that is not a whole number.
void TestSound::resamplesWithoutAliases_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<double>("hz");
    QTest::addColumn<double>("level");
    QTest::newRow("15 kHz at 48 kHz to 22050: gone") << 48000 << 22050 << 15000.0 << 0.0;
    QTest::newRow("20 kHz at 44.1 kHz to 22050: gone") << 44100 << 22050 << 20000.0 << 0.0;
    QTest::newRow("1 kHz at 48 kHz to 22050: kept") << 48000 << 22050 << 1000.0 << 0.5;
    QTest::newRow("1 kHz at 22050 to 48 kHz: kept") << 22050 << 48000 << 1000.0 << 0.5;
}

void TestSound::resamplesWithoutAliases()
{
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(double, hz);
    QFETCH(double, level);
    const ClipPtr clip = decoded(wavefiles::encoded(SF_FORMAT_WAV | SF_FORMAT_FLOAT, from, from, hz), to);
    QVERIFY(clip);
    QCOMPARE(clip->rate, to);
    if (level > 0) {
        QVERIFY2(std::abs(peak(clip) - level) < 0.01, qPrintable(QString::number(peak(clip))));
        return;
    }
    // 80 dB below the tone's own level, once the tone's abrupt start and end (clicks with
    // energy in every band) are past; 16-bit samples reach down to about -96 dB.
    auto steady = std::make_shared<Clip>(*clip);
    steady->samples.assign(clip->samples.begin() + to / 10, clip->samples.end() - to / 10);
    QVERIFY2(peak(steady) <= 0.5 * 1e-4, qPrintable(QString::number(20 * std::log10(peak(steady) + 1e-12)) + QStringLiteral(" dBFS")));
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
    writeFile(dir.filePath(QStringLiteral("5.wav")), wave(1, 22050, 16, 2205).left(40));
    writeFile(dir.filePath(QStringLiteral("6.wav")), wave(1, 22050, 16, 2205));
    ClipStore store;
    FakeOutput output;
    readAhead(store, dir.path(), output.rate);
    std::atomic<unsigned> requests{0};
    WavePlayer player(store, output, requests);
    for (int n = 1; n <= 6; ++n) {
        player.setDeviceType(QStringLiteral("WaveAudio"));
        playwave(player, wavePath(dir.path(), QString::number(n) + QStringLiteral(".wav")));
    }
    QCOMPARE(output.plays.size(), std::size_t(1));
    QCOMPARE(output.plays.front()->samples.size(), std::size_t(2205));
}

void TestSound::storeReadsEachFileOncePerRate()
{
    QTemporaryDir dir;
    for (int n = 1; n <= 90; ++n)
        writeFile(wavePath(dir.path(), numberFileName(n)), wave(1, 22050, 16, 100 * n));
    ClipStore store;
    readAhead(store, dir.path(), 22050);
    // Later changes on disk are not read again: the call never waits for a file.
    const QString path = wavePath(dir.path(), QStringLiteral("45.wav"));
    writeFile(path, wave(1, 22050, 16, 10));
    bool later = true;
    QCOMPARE(store.kept(path, 22050, &later)->samples.size(), std::size_t(4500));
    QVERIFY(!later);
    QVERIFY(!store.kept(wavePath(dir.path(), QStringLiteral("program.wav")), 22050, &later));
    QVERIFY(!later); // missing: silent, nothing to wait for
    // A device at another rate gets the recording read anew and converted for it, in the
    // background.
    QVERIFY(!store.kept(path, 48000, &later));
    QVERIFY(later);
    std::promise<ClipPtr> fetched;
    std::future<ClipPtr> at48k = fetched.get_future();
    store.fetch(path, [] { return 48000; }, [&fetched](const ClipPtr &clip) { fetched.set_value(clip); });
    const ClipPtr clip = at48k.get();
    QCOMPARE(clip->rate, 48000);
    QCOMPARE(clip->samples.size(), std::size_t(22));
}

void TestSound::pathAlwaysGetsASeparator()
{
    const QString sep = QDir::separator();
    QCOMPARE(wavePath(QStringLiteral("/opt/caller"), QStringLiteral("7.wav")), QStringLiteral("/opt/caller") + sep + QStringLiteral("7.wav"));
    QCOMPARE(wavePath(QStringLiteral("/opt/caller") + sep, QStringLiteral("7.wav")),
             QStringLiteral("/opt/caller") + sep + sep + QStringLiteral("7.wav"));
}

// The game's voice speaks "45.wav" from the program's folder, the greeting "program.wav"
// with the information window's own player, and holds the output only while calling.
void TestSound::announcementsNameTheFilesAndHoldTheOutput()
{
    QTemporaryDir dir;
    writeFile(wavePath(dir.path(), QStringLiteral("45.wav")), wave(1, 22050, 16, 4500));
    writeFile(wavePath(dir.path(), QStringLiteral("program.wav")), wave(1, 22050, 16, 999));
    ClipStore store;
    FakeOutput output;
    readAhead(store, dir.path(), output.rate);
    Announcements voice(store, output, dir.path());
    voice.announce(45); // the tick's first step has not set the device
    QVERIFY(output.plays.empty());
    voice.prepare();
    voice.announce(45);
    voice.greet();
    voice.prepare();
    voice.announce(46); // no such file
    QCOMPARE(output.plays.size(), std::size_t(2));
    QCOMPARE(output.plays[0]->samples.size(), std::size_t(4500));
    QCOMPARE(output.plays[1]->samples.size(), std::size_t(999));
    voice.setCalling(true);
    QVERIFY(output.ready);
    voice.setCalling(false);
    QVERIFY(!output.ready);
}

// A program folder where only some recordings are good: a full game with sound on ends
// exactly like one with sound off, and only the good files are heard.
void TestSound::gameGoesOnOverBadFilesAsIfMuted()
{
    QTemporaryDir dir;
    for (int n = 1; n <= 90; ++n) {
        const QString path = wavePath(dir.path(), numberFileName(n));
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
        readAhead(store, dir.path(), output.rate);
        Announcements voice(store, output, dir.path());
        Game game(board, controls, voice, question, quitter, random);
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
