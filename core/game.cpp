#include "game.h"

#include "callorder.h"
#include "numbertext.h"

#include <QDateTime>

#include <algorithm>

namespace {
const QString StartCaption = QStringLiteral("&Start");
const QString StopCaption = QStringLiteral("&Stop");

QString numbersCalled(int count)
{
    return count == 1 ? QStringLiteral("1 number called") : QStringLiteral("%1 numbers called").arg(count);
}
} // namespace

Game::Game(Announcer &voice, Question &question, Quitter &quitter, RandomSource &random, QObject *parent)
    : QObject(parent)
    , voice(&voice)
    , question(question)
    , quitter(quitter)
    , random(random)
    , clock([] { return QDateTime::currentMSecsSinceEpoch(); })
{
    tmrRand.setObjectName(QStringLiteral("tmrRand"));
    // A host setting one second expects one second, not the coarse timer's 5 % slack.
    tmrRand.setTimerType(Qt::PreciseTimer);
    tmrRand.setInterval(StartInterval);
    connect(&tmrRand, &QTimer::timeout, this, &Game::tmrRand_Timer);
}

Game::Game(Board &board, Controls &controls, Announcer &voice, Question &question, Quitter &quitter,
           RandomSource &random, QObject *parent)
    : Game(voice, question, quitter, random, parent)
{
    attach(board, controls);
}

void Game::attach(Board &board, Controls &controls)
{
    this->board = &board;
    this->controls = &controls;
}

void Game::Form_Load()
{
    Q_ASSERT(board && controls);
    board->setrowcolwidth();
    display();
    initialization();
    game.zoomflag = 0;
    game.soundflag = 1;
    tmrRand.start();
}

void Game::cmdStart_Click()
{
    if (ended)
        return;
    if (controls->startCaption() == StartCaption) {
        if (!tmrRand.isActive())
            tmrRand.start();
        game.running = 1;
        controls->setStartCaption(StopCaption);
        Q_EMIT news(News::Calling);
    } else {
        game.running = 0;
        controls->setStartCaption(StartCaption);
        Q_EMIT news(News::Stopped);
    }
    updateCalling();
}

void Game::stopexec()
{
    const bool wasCalling = calling;
    tmrRand.stop();
    controls->setStartCaption(StartCaption);
    updateCalling();
    if (wasCalling)
        Q_EMIT news(News::Paused);
}

void Game::mnuOptions_Click()
{
    stopexec();
}

void Game::mnuHelp_Click()
{
    stopexec();
}

void Game::mnuGame_Click()
{
    stopexec();
}

void Game::mnuMute_Click()
{
    if (game.soundflag == 1) {
        game.soundflag = 0;
        voice->hush();
        controls->setMuteChecked(true);
        Q_EMIT news(News::SoundOff);
    } else {
        game.soundflag = 1;
        controls->setMuteChecked(false);
        Q_EMIT news(News::SoundOn);
    }
    updateCalling();
    keepRecord();
}

void Game::mnuZoom_Click()
{
    game.zoomflag = game.zoomflag == 0 ? 1 : 0;
}

void Game::mnuExit_Click()
{
    if (ended)
        return;
    const bool yes = ask(QStringLiteral("Sure You Wanna Quit"), QStringLiteral("Quitting Game"));
    if (ended)
        return; // ended while asked: the game stays on record to be resumed
    if (yes) {
        keepRecord(true);
        endProgram();
    } else {
        updateCalling(); // No while calling: the calling goes on
    }
}

void Game::tmrRand_Timer()
{
    voice->prepare();
    // While a question is open its answer decides what comes next; a tick in between would
    // call the last number again.
    if (asking || ended)
        return;
    if (game.running != 1)
        return;
    if (game.callpos <= GameState::Numbers) {
        const std::int16_t n = game.callorder[game.callpos];
        controls->setCalledText(plainNumberText(n));
        if (game.zoomflag == 1)
            controls->setZoomText(controls->calledText());
        board->marknumber(n);
        controls->setCounterText(numberText(game.callcount + 1));
        ++game.callcount;
        if (game.soundflag == 1)
            announce(n);
        called.push_back({game.callcount, n, clock()});
        Q_EMIT numberCalled(n);
        Q_EMIT callsChanged();
        keepRecord(); // last: the windows are drawn before the writing thread wakes
        if (game.callcount == GameState::Numbers) {
            const bool yes = ask(QStringLiteral("Do You Wish To Continue"), QStringLiteral("Buzz Off "));
            if (ended)
                return; // the program was ended while the question was open
            if (yes) {
                display();
                initialization();
                keepRecord();
                Q_EMIT news(News::NewGame);
            } else {
                keepRecord(true);
                endProgram();
            }
            return;
        }
    }
    ++game.callpos;
}

void Game::display()
{
    board->clear();
    if (game.zoomflag == 1)
        controls->closeZoom();
    board->fill();
    controls->setStartCaption(StartCaption);
    game.running = 0;
    updateCalling();
}

void Game::initialization()
{
    ::initialization(game, random);
    called.clear();
    won.clear();
    newIdentity();
    Q_EMIT callsChanged();
    Q_EMIT prizesChanged();
}

Game::Run Game::run() const
{
    if (calling)
        return Run::Calling;
    if (game.running == 1 || asking)
        return Run::Paused;
    return game.callcount == 0 ? Run::Waiting : Run::Stopped;
}

std::vector<std::int16_t> Game::lastFive() const
{
    std::vector<std::int16_t> last;
    for (auto call = called.rbegin(); call != called.rend() && last.size() < 5; ++call)
        last.push_back(call->number);
    return last;
}

void Game::setPrizes(prizes::Set chosen)
{
    chosen = prizes::Set(chosen | prizesWon());
    if (chosen == inPlay)
        return;
    inPlay = chosen;
    keepRecord();
    Q_EMIT prizesChanged();
}

prizes::Set Game::prizesLeft() const
{
    return prizes::Set(inPlay & ~prizesWon());
}

prizes::Set Game::prizesWon() const
{
    prizes::Set set = 0;
    for (const Win &win : won)
        set = prizes::Set(set | prizes::bit(win.prize));
    return set;
}

int Game::judgedAt(int at) const
{
    return at > 0 && std::size_t(at) < called.size() ? at : int(called.size());
}

void Game::newIdentity()
{
    gameId = std::max(clock(), gameId + 1);
}

void Game::stopCalling()
{
    if (game.running == 1) {
        game.running = 0;
        controls->setStartCaption(StartCaption);
    }
    updateCalling();
}

void Game::claimStarted()
{
    if (ended)
        return;
    stopCalling();
    if (!claiming) {
        claiming = true;
        Q_EMIT news(News::Claim);
        Q_EMIT claimChanged(true);
    }
}

void Game::claimEnded()
{
    if (!claiming)
        return;
    claiming = false;
    Q_EMIT claimChanged(false);
}

void Game::claimHeard()
{
    if (ended || !claimsStop || game.running != 1)
        return;
    stopCalling();
    Q_EMIT news(News::Stopped);
}

std::vector<Verdict> Game::checkClaim(const ClaimTicket &ticket, int at) const
{
    return ::checkClaim(ticket, inPlay, called, won, at);
}

std::vector<Win> Game::acceptClaim(const ClaimTicket &ticket, int at)
{
    // Judged again here, never taken from the window: only what is valid as of the claim's
    // call is won, and once won the ticket has it already, so a second Accept records nothing.
    std::vector<Win> accepted;
    const std::vector<Verdict> verdicts = checkClaim(ticket, at);
    if (GameRecord::canRecord(ticket.label, won.size())) { // else a win the record could not read back
        for (const Verdict &verdict : verdicts) {
            if (verdict.kind != Verdict::Valid)
                continue;
            accepted.push_back({verdict.prize, ticket.label, verdict.completedAt, verdict.completedBy, clock(),
                                ticket.fromCode && ticket.unlistedBook});
        }
    }
    if (!accepted.empty()) {
        won.insert(won.end(), accepted.begin(), accepted.end());
        keepRecord();
        Q_EMIT prizesChanged();
        for (const Win &win : accepted)
            Q_EMIT prizeWon(win);
    }
    Q_EMIT claimDecided(ticket, judgedAt(at), verdicts, !accepted.empty());
    return accepted;
}

void Game::rejectClaim(const ClaimTicket &ticket, int at)
{
    Q_EMIT claimDecided(ticket, judgedAt(at), checkClaim(ticket, at), false);
}

void Game::announce(std::int16_t n)
{
    voice->announce(n);
}

int Game::intervalMs() const
{
    return tmrRand.interval();
}

void Game::setInterval(int seconds)
{
    tmrRand.setInterval(std::clamp(seconds, MinIntervalSeconds, MaxIntervalSeconds) * 1000);
    keepRecord();
}

void Game::setKeeper(Keeper *keeper)
{
    this->keeper = keeper;
    if (!keeper)
        return;
    keeper->watch(this, [this](const QString &why) {
        if (why == keeping)
            return;
        keeping = why;
        Q_EMIT keptChanged();
    });
}

bool Game::offerResume()
{
    GameRecord record;
    if (!keeper || ended || !keeper->interrupted(record))
        return false;
    // Whatever the keeper's own reading allows, only a game with calls, each one in its
    // place in the order, can be put back on the board->
    if (!record.inProgress() || record.calls.size() != std::size_t(record.callcount)
        || record.callpos != record.callcount + 1)
        return false;
    for (std::size_t i = 0; i < record.calls.size(); ++i) {
        const Call &call = record.calls[i];
        if (call.position != int(i) + 1 || call.number != record.callorder[std::size_t(call.position)])
            return false;
    }
    const int last = record.calls.back().number;
    const QString prompt = record.behind
        ? QStringLiteral("Do You Wish To Resume The Game In Progress\n\n"
                         "The record may be behind: the game went on after it could no longer be kept. "
                         "%1 on record, the last number kept was %2.")
              .arg(numbersCalled(record.callcount))
              .arg(last)
        : QStringLiteral("Do You Wish To Resume The Game In Progress\n\n%1, the last was %2.")
              .arg(numbersCalled(record.callcount))
              .arg(last);
    const bool yes = ask(prompt, QStringLiteral("Game In Progress"));
    if (ended)
        return false; // ended while asked (a logout, say): the record stays as it was
    if (!yes) {
        keepRecord(); // the fresh game takes the interrupted one's place
        updateCalling();
        Q_EMIT news(News::NewGame);
        return false;
    }
    resume(record);
    return true;
}

// The board, the number, the count, the interval and the sound switch as the game left
// them; the game waits for Start.
void Game::resume(const GameRecord &record)
{
    display();
    game.callorder = record.callorder;
    std::fill(game.pool.begin() + 1, game.pool.end(), GameState::Marker);
    game.callpos = record.callpos;
    game.callcount = record.callcount;
    game.soundflag = record.soundflag;
    tmrRand.setInterval(record.interval);
    called = record.calls;
    inPlay = record.prizes;
    won = record.wins;
    newIdentity();
    for (const Call &call : called)
        board->marknumber(call.number);
    controls->setCalledText(plainNumberText(called.back().number));
    controls->setCounterText(numberText(game.callcount));
    controls->setMuteChecked(game.soundflag != 1);
    updateCalling();
    Q_EMIT news(News::Resumed);
    Q_EMIT callsChanged();
    Q_EMIT prizesChanged();
}

void Game::keepRecord(bool endedByHost)
{
    if (!keeper)
        return;
    GameRecord record;
    record.callorder = game.callorder;
    record.callpos = game.callcount + 1; // the tick advances callpos after the question
    record.callcount = game.callcount;
    record.interval = tmrRand.interval();
    record.soundflag = game.soundflag == 1 ? 1 : 0;
    record.ended = endedByHost;
    record.calls = called;
    record.prizes = inPlay;
    record.wins = won;
    keeper->keep(record);
}

bool Game::ask(const QString &prompt, const QString &title)
{
    // Nothing is called while a question waits, so the screen may sleep meanwhile.
    asking = true;
    updateCalling();
    const bool yes = question.askYesNo(prompt, title);
    asking = false;
    Q_EMIT questionClosed();
    return yes && !ended; // a question cut short by the program's end was not answered
}

void Game::endProgram()
{
    ended = true;
    tmrRand.stop();
    voice->hush();
    updateCalling();
    quitter.endProgram();
}

void Game::updateCalling()
{
    const bool nowCalling = !ended && !asking && game.running == 1 && tmrRand.isActive();
    const bool nowSpeaking = nowCalling && game.soundflag == 1;
    if (nowSpeaking != speaking) {
        speaking = nowSpeaking;
        voice->setCalling(speaking);
    }
    if (nowCalling != calling) {
        calling = nowCalling;
        Q_EMIT callingChanged(calling);
    }
}
