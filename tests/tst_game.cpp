#include "fakes.h"
#include "game.h"
#include "numbertext.h"

#include <QDir>
#include <QtTest>

#include <memory>
#include <set>

namespace {
const QString Start = QStringLiteral("&Start");
const QString Stop = QStringLiteral("&Stop");

// The game's own tests draw from their own fixed sequence.
struct Rig : GameRig
{
    explicit Rig(std::deque<float> first = {}) : GameRig(99, std::move(first)) {}
};
}

class TestGame : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void startUpPreparesAndWaits();
    void firstTickAfterStartCallsTheFirstNumber();
    void tickWhileNotRunningOnlySetsTheDevice();
    void startStopStartResumesWithTheNextNumber();
    void menuOpenedWhileCallingPausesAndStartResumes_data();
    void menuOpenedWhileCallingPausesAndStartResumes();
    void menuBeforeFirstStartHaltsTheTimer();
    void captionOtherThanStartCountsAsStop();
    void soundOffShowsMarksAndCountsButOpensNoFile();
    void voiceIsPreparedThenAnnouncesPerCall();
    void outputIsHeldOnlyWhileCallingWithSound();
    void ninetiethCallIsShownCountedAndAnnouncedBeforeTheQuestion();
    void yesGivesAFreshGameThatWaitsForStart();
    void noEndsTheProgram();
    void tickWhileTheQuestionIsOpenChangesNothing();
    void muteSwitchFlipsAndChecks();
    void zoomFollowsTheCallsWhileSwitchedOn();
    void newGameClosesAFollowingZoomWindow();
    void exitAsksAndEndsOnlyOnYes();
    void nothingRunsAfterTheProgramEnds();
    void intervalIsWholeSecondsAndKeepsTheTimerState();
    void aClaimStopsTheCallingAndIsRecordedOnce();
};

void TestGame::startUpPreparesAndWaits()
{
    Rig rig;
    QCOMPARE(rig.board.sized, 1);
    QCOMPARE(rig.board.cleared, 1);
    QCOMPARE(rig.board.filled, 1);
    QCOMPARE(rig.controls.caption, Start);
    QCOMPARE(rig.state().running, std::int16_t(0));
    QCOMPARE(rig.state().callpos, 1);
    QCOMPARE(rig.state().callcount, 0);
    QCOMPARE(rig.state().zoomflag, 0);
    QCOMPARE(rig.state().soundflag, std::int16_t(1));
    QVERIFY(timerOf(rig.game).isActive());
    QCOMPARE(timerOf(rig.game).interval(), Game::StartInterval);
    QCOMPARE(timerOf(rig.game).timerType(), Qt::PreciseTimer);
    QVERIFY(rig.controls.called.isEmpty());
    QVERIFY(rig.controls.counter.isEmpty());
}

void TestGame::firstTickAfterStartCallsTheFirstNumber()
{
    Rig rig;
    rig.game.cmdStart_Click();
    QCOMPARE(rig.controls.caption, Stop);
    rig.tick();
    const int first = rig.state().callorder[1];
    QCOMPARE(rig.controls.called, QString::number(first));
    QCOMPARE(rig.controls.counter, QStringLiteral(" 1"));
    QCOMPARE(rig.state().callpos, 2);
    QCOMPARE(rig.state().callcount, 1);
    QCOMPARE(rig.board.marks, std::vector<int>{first});
}

void TestGame::tickWhileNotRunningOnlySetsTheDevice()
{
    Rig rig;
    rig.tick(3);
    QCOMPARE(rig.voice.log, QStringList(3, QStringLiteral("device WaveAudio")));
    QCOMPARE(rig.state().callpos, 1);
    QCOMPARE(rig.state().callcount, 0);
    QVERIFY(rig.controls.called.isEmpty());
    QVERIFY(rig.controls.counter.isEmpty());
    QVERIFY(rig.board.marks.empty());
}

void TestGame::startStopStartResumesWithTheNextNumber()
{
    Rig rig;
    rig.game.cmdStart_Click();
    rig.tick(5);
    rig.game.cmdStart_Click(); // Stop
    QCOMPARE(rig.controls.caption, Start);
    QCOMPARE(rig.state().running, std::int16_t(0));
    QVERIFY(timerOf(rig.game).isActive()); // stopped, not paused
    rig.tick(4);
    rig.game.cmdStart_Click();
    rig.tick(3);
    std::vector<int> expected;
    for (int i = 1; i <= 8; ++i)
        expected.push_back(rig.state().callorder[i]);
    QCOMPARE(rig.board.marks, expected);
    QCOMPARE(rig.controls.counter, QStringLiteral(" 8"));
}

void TestGame::menuOpenedWhileCallingPausesAndStartResumes_data()
{
    QTest::addColumn<bool>("help");
    QTest::newRow("Options") << false;
    QTest::newRow("Help") << true;
}

void TestGame::menuOpenedWhileCallingPausesAndStartResumes()
{
    QFETCH(bool, help);
    Rig rig;
    rig.game.cmdStart_Click();
    rig.tick(2);
    help ? rig.game.mnuHelp_Click() : rig.game.mnuOptions_Click();
    // Paused: still running, but the timer is off and the button offers Start.
    QVERIFY(!timerOf(rig.game).isActive());
    QCOMPARE(rig.state().running, std::int16_t(1));
    QCOMPARE(rig.controls.caption, Start);
    rig.game.cmdStart_Click();
    QVERIFY(timerOf(rig.game).isActive());
    QCOMPARE(rig.controls.caption, Stop);
    rig.tick();
    QCOMPARE(rig.controls.called, QString::number(rig.state().callorder[3]));
    QCOMPARE(rig.controls.counter, QStringLiteral(" 3"));
}

void TestGame::menuBeforeFirstStartHaltsTheTimer()
{
    Rig rig;
    rig.game.mnuHelp_Click();
    QVERIFY(!timerOf(rig.game).isActive());
    QCOMPARE(rig.state().running, std::int16_t(0));
    rig.game.cmdStart_Click();
    QVERIFY(timerOf(rig.game).isActive());
    QCOMPARE(rig.state().running, std::int16_t(1));
}

void TestGame::captionOtherThanStartCountsAsStop()
{
    Rig rig;
    rig.game.cmdStart_Click();
    for (const QString &caption : {QStringLiteral("&start"), QStringLiteral("Start"), QString()}) {
        rig.controls.caption = Start;
        rig.game.cmdStart_Click();
        QCOMPARE(rig.state().running, std::int16_t(1));
        rig.controls.caption = caption;
        rig.game.cmdStart_Click();
        QCOMPARE(rig.state().running, std::int16_t(0));
        QCOMPARE(rig.controls.caption, Start);
    }
}

void TestGame::soundOffShowsMarksAndCountsButOpensNoFile()
{
    Rig rig;
    rig.game.mnuMute_Click();
    rig.game.cmdStart_Click();
    rig.tick(3);
    QCOMPARE(rig.voice.log, QStringList(3, QStringLiteral("device WaveAudio")));
    QCOMPARE(rig.controls.counter, QStringLiteral(" 3"));
    QCOMPARE(rig.board.marks.size(), std::size_t(3));
    QCOMPARE(rig.controls.called, QString::number(rig.state().callorder[3]));
}

void TestGame::voiceIsPreparedThenAnnouncesPerCall()
{
    Rig rig({44.0f / 89}); // the first draw proposes 45
    QCOMPARE(rig.state().callorder[1], 45);
    rig.game.cmdStart_Click();
    rig.tick();
    QCOMPARE(rig.voice.log, (QStringList{QStringLiteral("device WaveAudio"), QStringLiteral("announce 45")}));
}

// The sound output is held from Start until calling stops, pauses, halts, is muted or
// the game ends, and taken again when calling with sound resumes.
void TestGame::outputIsHeldOnlyWhileCallingWithSound()
{
    Rig rig;
    auto told = [&] { return rig.voice.calling; };
    QVERIFY(told().empty());
    rig.game.cmdStart_Click();
    rig.game.cmdStart_Click(); // Stop
    rig.game.cmdStart_Click();
    rig.game.mnuOptions_Click(); // paused
    rig.game.cmdStart_Click();
    rig.game.mnuMute_Click();
    rig.game.mnuMute_Click();
    QCOMPARE(told(), (std::vector<bool>{true, false, true, false, true, false, true}));
    rig.tick(90); // the continue question's Yes waits for Start
    QCOMPARE(told().back(), false);
    rig.game.mnuMute_Click();
    rig.game.cmdStart_Click(); // muted: nothing to hold
    QCOMPARE(told().size(), std::size_t(8));
    rig.game.mnuMute_Click();
    rig.question.answers = {false};
    rig.game.mnuExit_Click(); // No: let go while the question waited, taken again after
    rig.game.mnuExit_Click(); // Yes: the program ends
    QCOMPARE(told(), (std::vector<bool>{true, false, true, false, true, false, true, false, true, false, true, false}));
    // Switching the sound off and the program's end silence what still sounds; Stop does not.
    QCOMPARE(rig.voice.hushes, 3);
}

void TestGame::ninetiethCallIsShownCountedAndAnnouncedBeforeTheQuestion()
{
    Rig rig;
    rig.game.cmdStart_Click();
    const int last = rig.state().callorder[90];
    QString shownWhenAsked;
    QString countWhenAsked;
    QStringList playedWhenAsked;
    std::size_t markedWhenAsked = 0;
    rig.question.whileOpen = [&] {
        markedWhenAsked = std::set<int>(rig.board.marks.begin(), rig.board.marks.end()).size();
        shownWhenAsked = rig.controls.called;
        countWhenAsked = rig.controls.counter;
        playedWhenAsked = rig.voice.log;
    };
    rig.tick(89);
    QVERIFY(rig.question.asked.isEmpty());
    rig.tick();
    QCOMPARE(rig.question.asked, QStringList{QStringLiteral("Do You Wish To Continue|Buzz Off ")});
    QCOMPARE(shownWhenAsked, QString::number(last));
    QCOMPARE(countWhenAsked, QStringLiteral(" 90"));
    QCOMPARE(playedWhenAsked.last(), QStringLiteral("announce %1").arg(last));
    QCOMPARE(markedWhenAsked, std::size_t(90));
}

void TestGame::yesGivesAFreshGameThatWaitsForStart()
{
    Rig rig;
    rig.game.cmdStart_Click();
    const auto firstOrder = rig.state().callorder;
    rig.tick(90);
    // Yes: the board is refilled, the button offers Start, a new order waits at position 1.
    QCOMPARE(rig.board.cleared, 2);
    QCOMPARE(rig.board.filled, 2);
    QVERIFY(rig.board.marks.empty());
    QCOMPARE(rig.controls.caption, Start);
    QCOMPARE(rig.state().running, std::int16_t(0));
    QCOMPARE(rig.state().callpos, 1);
    QCOMPARE(rig.state().callcount, 0);
    QVERIFY(rig.state().callorder != firstOrder);
    QVERIFY(timerOf(rig.game).isActive());
    // Until Start the displays keep the last game's values.
    rig.tick(2);
    QCOMPARE(rig.controls.counter, QStringLiteral(" 90"));
    QCOMPARE(rig.controls.called, QString::number(firstOrder[90]));
    QCOMPARE(rig.state().callpos, 1);

    rig.game.cmdStart_Click();
    rig.tick();
    QCOMPARE(rig.controls.called, QString::number(rig.state().callorder[1]));
    QCOMPARE(rig.controls.counter, QStringLiteral(" 1"));
    rig.tick(89);
    QCOMPARE(rig.question.asked.size(), 2);
    QCOMPARE(rig.quitter.ended, 0);
}

void TestGame::noEndsTheProgram()
{
    Rig rig;
    rig.question.answers = {false};
    rig.game.cmdStart_Click();
    rig.tick(90);
    QCOMPARE(rig.quitter.ended, 1);
    QVERIFY(!timerOf(rig.game).isActive());
    QCOMPARE(rig.board.cleared, 1); // no new game was set up
}

// A timer keeps ticking while the modal question waits; those ticks must not call the
// ninetieth number again nor count a 91st call.
void TestGame::tickWhileTheQuestionIsOpenChangesNothing()
{
    Rig rig;
    rig.game.cmdStart_Click();
    GameState during;
    QString counterDuring;
    QStringList logDuring;
    rig.question.whileOpen = [&] {
        const GameState before = rig.state();
        const QString counterBefore = rig.controls.counter;
        const QString calledBefore = rig.controls.called;
        const std::size_t marksBefore = rig.board.marks.size();
        const int logBefore = int(rig.voice.log.size());
        rig.tick(3);
        during = rig.state();
        QCOMPARE(during.callpos, before.callpos);
        QCOMPARE(during.callcount, before.callcount);
        QCOMPARE(rig.controls.counter, counterBefore);
        QCOMPARE(rig.controls.called, calledBefore);
        QCOMPARE(rig.board.marks.size(), marksBefore);
        logDuring = rig.voice.log.mid(logBefore);
    };
    rig.tick(90);
    QCOMPARE(during.callcount, 90);
    QCOMPARE(during.callpos, 90);
    QCOMPARE(logDuring, QStringList(3, QStringLiteral("device WaveAudio")));
    QCOMPARE(rig.question.asked.size(), 1);
    // The answer (Yes) then sets up the new game as usual.
    QCOMPARE(rig.state().callpos, 1);
    QCOMPARE(rig.state().callcount, 0);
}

void TestGame::muteSwitchFlipsAndChecks()
{
    Rig rig;
    rig.game.mnuMute_Click();
    QCOMPARE(rig.state().soundflag, std::int16_t(0));
    QVERIFY(rig.controls.muteChecked);
    rig.game.mnuMute_Click();
    QCOMPARE(rig.state().soundflag, std::int16_t(1));
    QVERIFY(!rig.controls.muteChecked);
}

void TestGame::zoomFollowsTheCallsWhileSwitchedOn()
{
    Rig rig;
    rig.game.cmdStart_Click();
    rig.tick();
    QVERIFY(rig.controls.zoom.isEmpty());
    rig.game.mnuZoom_Click();
    QCOMPARE(rig.state().zoomflag, 1);
    rig.tick();
    QCOMPARE(rig.controls.zoom, QString::number(rig.state().callorder[2]));
    rig.game.mnuZoom_Click();
    QCOMPARE(rig.state().zoomflag, 0);
    rig.tick();
    QCOMPARE(rig.controls.zoom, QString::number(rig.state().callorder[2]));
}

void TestGame::newGameClosesAFollowingZoomWindow()
{
    Rig rig;
    rig.game.display();
    QCOMPARE(rig.controls.zoomClosed, 0); // not following: left alone
    rig.game.mnuZoom_Click();
    rig.game.cmdStart_Click();
    rig.tick(90);
    QCOMPARE(rig.controls.zoomClosed, 1);
    QCOMPARE(rig.state().zoomflag, 1);
}

void TestGame::exitAsksAndEndsOnlyOnYes()
{
    Rig rig;
    rig.game.cmdStart_Click();
    rig.tick(4);
    rig.game.mnuOptions_Click();
    rig.question.answers = {false};
    rig.game.mnuExit_Click();
    QCOMPARE(rig.question.asked, QStringList{QStringLiteral("Sure You Wanna Quit|Quitting Game")});
    QCOMPARE(rig.quitter.ended, 0);
    QVERIFY(!timerOf(rig.game).isActive()); // still paused
    QCOMPARE(rig.controls.caption, Start);
    rig.game.cmdStart_Click();
    rig.tick();
    QCOMPARE(rig.controls.called, QString::number(rig.state().callorder[5]));

    rig.game.mnuExit_Click(); // Yes
    QCOMPARE(rig.quitter.ended, 1);
}

void TestGame::nothingRunsAfterTheProgramEnds()
{
    Rig rig;
    rig.game.cmdStart_Click();
    rig.tick();
    rig.game.mnuExit_Click();
    const GameState after = rig.state();
    rig.tick(3);
    rig.game.cmdStart_Click();
    QCOMPARE(rig.state().callpos, after.callpos);
    QCOMPARE(rig.controls.caption, Stop);
    QVERIFY(!timerOf(rig.game).isActive());
}

void TestGame::intervalIsWholeSecondsAndKeepsTheTimerState()
{
    Rig rig;
    rig.game.setInterval(1);
    QCOMPARE(timerOf(rig.game).interval(), 1000);
    QVERIFY(timerOf(rig.game).isActive());
    rig.game.stopexec();
    rig.game.setInterval(5);
    QCOMPARE(timerOf(rig.game).interval(), 5000);
    QVERIFY(!timerOf(rig.game).isActive());
}


namespace {
// The numbers at these positions of the game's order, typed as a host would.
ClaimTicket typedFrom(const GameState &state, std::initializer_list<int> positions)
{
    QStringList words;
    for (int position : positions)
        words << QString::number(state.callorder[position]);
    ClaimTicket ticket;
    QString why;
    if (!ClaimTicket::read(words.join(QLatin1Char(' ')), ticket, why))
        qFatal("%s", qPrintable(why));
    return ticket;
}
} // namespace

void TestGame::aClaimStopsTheCallingAndIsRecordedOnce()
{
    Rig rig;
    rig.game.setPrizes(prizes::bit(Prize::EarlyFive) | prizes::bit(Prize::FullHouse));
    QSignalSpy news(&rig.game, &Game::news);
    QSignalSpy won(&rig.game, &Game::prizeWon);
    rig.game.cmdStart_Click();
    rig.tick(6);

    // The calling stops at once, the room is told once, and nothing is called meanwhile.
    news.clear();
    rig.game.claimStarted();
    rig.game.claimStarted();
    QCOMPARE(rig.controls.caption, Start);
    QVERIFY(rig.game.checkingClaim());
    QCOMPARE(news.count(), 1);
    QCOMPARE(news.first().first().value<Game::News>(), Game::News::Claim);
    rig.tick(3);
    QCOMPARE(rig.state().callcount, 6);

    // Complete at call 5, claimed at call 6: late, never recorded.
    QVERIFY(rig.game.acceptClaim(typedFrom(rig.state(), {1, 2, 3, 4, 5, 60})).empty());
    QVERIFY(rig.game.wins().empty());

    // Claimed at call 5, when it was complete, and accepted after call 6: recorded at call 5,
    // once, however often Accept is pressed or the ticket typed.
    const ClaimTicket five = typedFrom(rig.state(), {1, 2, 3, 4, 5});
    QVERIFY(rig.game.acceptClaim(five).empty()); // judged as of now: late
    QSignalSpy decided(&rig.game, &Game::claimDecided);
    const std::vector<Win> accepted = rig.game.acceptClaim(five, 5);
    QCOMPARE(accepted.size(), std::size_t(1));
    QCOMPARE(accepted.front().prize, Prize::EarlyFive);
    QCOMPARE(accepted.front().position, 5);
    QCOMPARE(accepted.front().ticket, five.label);
    QCOMPARE(decided.count(), 1);
    QCOMPARE(decided.first().at(1).toInt(), 5);
    QCOMPARE(decided.first().at(3).toBool(), true);
    QVERIFY(rig.game.acceptClaim(five, 5).empty());
    QVERIFY(rig.game.acceptClaim(typedFrom(rig.state(), {5, 4, 3, 2, 1}), 5).empty());
    QCOMPARE(rig.game.wins().size(), std::size_t(1));
    QCOMPARE(won.count(), 1);

    // A won prize stays in play, whatever the host switches off.
    rig.game.setPrizes(prizes::bit(Prize::FullHouse));
    QCOMPARE(rig.game.prizes(), prizes::Set(prizes::bit(Prize::EarlyFive) | prizes::bit(Prize::FullHouse)));
    rig.game.setPrizes(0);
    QCOMPARE(rig.game.prizes(), prizes::bit(Prize::EarlyFive));
    QCOMPARE(rig.game.prizesLeft(), prizes::Set(0));

    rig.game.claimEnded();
    QVERIFY(!rig.game.checkingClaim());
}

QTEST_GUILESS_MAIN(TestGame)
#include "tst_game.moc"
