#pragma once

#include "claims.h"
#include "gamerecord.h"
#include "gamestate.h"
#include "randomsource.h"
#include "seams.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <vector>

// What decides: the call order, the timer tick, start/stop/pause, the sound and zoom
// switches and the two questions. It reaches the windows only through the seams.
class Game : public QObject
{
    Q_OBJECT

public:
    static constexpr int StartInterval = 1200; // milliseconds between calls at start-up
    // The host's choice of interval, in whole seconds, and where the choice starts.
    static constexpr int MinIntervalSeconds = 1;
    static constexpr int MaxIntervalSeconds = 5;
    static constexpr int ChosenIntervalSeconds = 2;

    // What a host who cannot see the window is told besides the numbers.
    enum class News { Calling, Stopped, Paused, SoundOff, SoundOn, NewGame, Resumed, Claim };
    Q_ENUM(News)

    // The game is made before the window that shows it; attach() then gives it the
    // window's board and controls, before Form_Load.
    Game(Announcer &voice, Question &question, Quitter &quitter, RandomSource &random, QObject *parent = nullptr);
    Game(Board &board, Controls &controls, Announcer &voice, Question &question, Quitter &quitter,
         RandomSource &random, QObject *parent = nullptr);
    void attach(Board &board, Controls &controls);

    // The voice that speaks from now on: the sound layer, once loaded, takes over from the
    // stand-in the game started with.
    void setVoice(Announcer &voice) { this->voice = &voice; }
    // Where the game is kept after every change that matters; none keeps nothing.
    void setKeeper(Keeper *keeper);
    // Why this game is not being kept, in words for the host; empty while it is.
    QString notKept() const { return keeping; }
    // Where the time of each call comes from: milliseconds since 1970, UTC.
    void setClock(std::function<qint64()> clock) { this->clock = std::move(clock); }

    void Form_Load();
    // After start-up: a game an earlier run left in progress is offered; Yes restores it
    // as it was, waiting for Start; No keeps the fresh game. True when it was resumed.
    bool offerResume();
    void cmdStart_Click();
    void stopexec();
    void mnuOptions_Click();
    void mnuHelp_Click();
    void mnuGame_Click();
    void mnuMute_Click();
    // Flips whether the zoom window follows the calls; showing it is the window's part.
    void mnuZoom_Click();
    void mnuExit_Click();
    void tmrRand_Timer();
    // Ends the program at once; nothing of the game runs afterwards.
    void endProgram();

    void display();
    void initialization();
    void announce(std::int16_t n);
    // The call interval in whole seconds, held to the host's range; the timer's enabled
    // state is kept.
    void setInterval(int seconds);
    int intervalMs() const;

    const GameState &state() const { return game; }
    // Where the calling stands, as the room is told: no call yet in this game, calling,
    // stopped by the host, or paused by a menu or a question.
    enum class Run { Waiting, Calling, Stopped, Paused };
    Run run() const;
    // While the sound is off the reader is the host's voice for the numbers: the number
    // alone, once per call. While it is on, the program's own voice speaks it and the
    // reader is told nothing: readers speak everything in turn, and a second voice would
    // only keep the reader behind the game.
    bool readerSpeaksNumbers() const { return game.soundflag != 1; }
    // Every call of this game so far, in order.
    const std::vector<Call> &calls() const { return called; }
    // The last five numbers called, the newest first.
    std::vector<std::int16_t> lastFive() const;

    // The prizes this game plays; a prize already won stays in play.
    prizes::Set prizes() const { return inPlay; }
    void setPrizes(prizes::Set chosen);
    // The prizes won so far, in the order they were accepted.
    const std::vector<Win> &wins() const { return won; }
    // The prizes in play that nobody has won yet.
    prizes::Set prizesLeft() const;
    // The prizes won: they stay in play whatever is chosen.
    prizes::Set prizesWon() const;

    // A player claims: the calling stops at once until Start, and the room is told.
    void claimStarted();
    void claimEnded();
    bool checkingClaim() const { return claiming; }
    // A claim from a phone came: like a shout in the hall it stops the calling (until Start),
    // unless the host turned that off.
    void claimHeard();
    bool claimsStopCalling() const { return claimsStop; }
    void setClaimsStopCalling(bool stop) { claimsStop = stop; }
    // Every prize in play judged on the ticket as of call `at` (0: the last call).
    std::vector<Verdict> checkClaim(const ClaimTicket &ticket, int at = 0) const;
    // Records as won every prize the ticket holds validly as of call `at`; returns them.
    std::vector<Win> acceptClaim(const ClaimTicket &ticket, int at = 0);
    // The host refused the claim made at call `at`: nothing is recorded.
    void rejectClaim(const ClaimTicket &ticket, int at = 0);
    // This game's identity: it changes with every new or resumed game, so that a claim made
    // in one game is never taken for one of the next.
    qint64 identity() const { return gameId; }

Q_SIGNALS:
    // After a number has been shown, marked, counted and announced.
    void numberCalled(int n);
    // Numbers start or stop being called: Start, Stop, a pause, a question, a new game,
    // the end.
    void callingChanged(bool calling);
    // The host started, stopped or paused the calling, switched the sound or got a new game.
    void news(Game::News what);
    // The calls of this game changed: one more, or a new or resumed game.
    void callsChanged();
    // The prizes in play or won changed.
    void prizesChanged();
    // A prize was accepted as won.
    void prizeWon(const Win &win);
    // A claim is being checked, or no longer.
    void claimChanged(bool checking);
    // The host decided on a claim made at call `at` (never 0): Accept (accepted: something was
    // recorded) or Reject, with the verdicts as they stood.
    void claimDecided(const ClaimTicket &ticket, int at, const std::vector<Verdict> &verdicts, bool accepted);
    // A question was answered and is gone from the screen.
    void questionClosed();
    // The game stopped or started again being kept: notKept() says why not.
    void keptChanged();

private:
    bool ask(const QString &prompt, const QString &title);
    // Tells the voice when numbers start or stop being called with sound on, and the
    // windows when they start or stop being called at all.
    void updateCalling();
    // Hands the game as it stands to the keeper.
    void keepRecord(bool endedByHost = false);
    void resume(const GameRecord &record);
    void newIdentity();
    // The call a claim "at" that call is judged as of: 0, or past the last, is the last.
    int judgedAt(int at) const;
    // The calling stops as the host's Stop stops it.
    void stopCalling();

    Board *board = nullptr;
    Controls *controls = nullptr;
    QTimer tmrRand{this}; // a child named "tmrRand", so it can be found from outside
    Announcer *voice;
    Question &question;
    Quitter &quitter;
    RandomSource &random;
    GameState game;
    std::vector<Call> called;
    prizes::Set inPlay = prizes::Tambola;
    std::vector<Win> won;
    bool claiming = false;
    bool claimsStop = true;
    qint64 gameId = 0;
    Keeper *keeper = nullptr;
    QString keeping; // why the game is not being kept; empty while it is
    std::function<qint64()> clock;
    bool asking = false; // a modal question is open: ticks call nothing
    bool ended = false;  // the program is ending: nothing more runs
    bool calling = false; // numbers are being called
    bool speaking = false; // ... with sound on, as the voice was last told
};
