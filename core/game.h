#pragma once

#include "gamestate.h"
#include "randomsource.h"
#include "seams.h"

#include <QObject>
#include <QString>
#include <QTimer>

// What decides: the call order, the timer tick, start/stop/pause, the sound and zoom
// switches and the two questions. It reaches the windows only through the seams.
class Game : public QObject
{
    Q_OBJECT

public:
    static constexpr int StartInterval = 1200; // milliseconds between calls at start-up

    // What a host who cannot see the window is told besides the numbers.
    enum class News { Calling, Stopped, Paused, SoundOff, SoundOn, NewGame };
    Q_ENUM(News)

    Game(Board &board, Controls &controls, Announcer &voice, Question &question, Quitter &quitter,
         RandomSource &random, QObject *parent = nullptr);

    void Form_Load();
    void cmdStart_Click();
    void stopexec();
    void mnuOptions_Click();
    void mnuHelp_Click();
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
    // The call interval in whole seconds; the timer's enabled state is kept.
    void setInterval(int seconds);

    const GameState &state() const { return game; }

Q_SIGNALS:
    // After a number has been shown, marked, counted and announced.
    void numberCalled(int n);
    // Numbers start or stop being called: Start, Stop, a pause, a question, a new game,
    // the end.
    void callingChanged(bool calling);
    // The host started, stopped or paused the calling, switched the sound or got a new game.
    void news(Game::News what);

private:
    bool ask(const QString &prompt, const QString &title);
    // Tells the voice when numbers start or stop being called with sound on, and the
    // windows when they start or stop being called at all.
    void updateCalling();

    Board &board;
    Controls &controls;
    QTimer tmrRand{this}; // a child named "tmrRand", so it can be found from outside
    Announcer &voice;
    Question &question;
    Quitter &quitter;
    RandomSource &random;
    GameState game;
    bool asking = false; // a modal question is open: ticks call nothing
    bool ended = false;  // the program is ending: nothing more runs
    bool calling = false; // numbers are being called
    bool speaking = false; // ... with sound on, as the voice was last told
};
