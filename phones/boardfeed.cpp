#include "boardfeed.h"

#include "game.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
// The state in one word; the page says it in full.
QString stateWord(const Game &game)
{
    if (game.checkingClaim())
        return QStringLiteral("claim");
    if (game.calls().size() >= std::size_t(GameState::Numbers))
        return QStringLiteral("over");
    switch (game.run()) {
    case Game::Run::Waiting:
        return QStringLiteral("waiting");
    case Game::Run::Calling:
        return QStringLiteral("calling");
    case Game::Run::Stopped:
        return QStringLiteral("stopped");
    case Game::Run::Paused:
        break;
    }
    return QStringLiteral("paused");
}
} // namespace

BoardFeed::BoardFeed(const Game &game, QObject *parent)
    : QObject(parent)
    , game(game)
{
    pending.setSingleShot(true);
    pending.setInterval(0);
    connect(&pending, &QTimer::timeout, this, &BoardFeed::refresh);
    auto later = [this] { pending.start(); };
    connect(&game, &Game::numberCalled, this, later);
    connect(&game, &Game::callsChanged, this, later);
    connect(&game, &Game::callingChanged, this, later);
    connect(&game, &Game::news, this, later);
    connect(&game, &Game::prizesChanged, this, later);
    connect(&game, &Game::claimChanged, this, later);
    latest = of(game, sequence);
}

void BoardFeed::flush()
{
    if (!pending.isActive())
        return;
    pending.stop();
    refresh();
}

void BoardFeed::refresh()
{
    latest = of(game, ++sequence);
    Q_EMIT changed(latest);
}

QByteArray BoardFeed::of(const Game &game, quint64 sequence)
{
    QJsonArray calls;
    for (const Call &call : game.calls())
        calls.append(call.number);
    // Prizes go by their keys; the page shows them by the names this table gives.
    QJsonArray toWin;
    QJsonArray winners;
    QJsonObject names;
    for (int i = 0; i < PrizeCount; ++i) {
        const Prize prize = Prize(i);
        if (game.prizesLeft() & prizes::bit(prize))
            toWin.append(prizes::key(prize));
        if ((game.prizes() | game.prizesWon()) & prizes::bit(prize))
            names.insert(prizes::key(prize), prizes::name(prize));
    }
    for (const Win &win : game.wins()) {
        // A ticket typed in from elsewhere has no code a player would know.
        winners.append(QJsonObject{{QStringLiteral("prize"), prizes::key(win.prize)},
                                   {QStringLiteral("ticket"), ClaimTicket::isTypedLabel(win.ticket) ? QString() : win.ticket},
                                   {QStringLiteral("call"), win.position},
                                   {QStringLiteral("number"), win.number}});
    }
    const QJsonObject board{
        {QStringLiteral("seq"), double(sequence)},
        // Which game this is: a claim made in one is never taken for one of the next.
        {QStringLiteral("game"), double(game.identity())},
        {QStringLiteral("state"), stateWord(game)},
        {QStringLiteral("sound"), game.state().soundflag == 1},
        {QStringLiteral("calls"), calls},
        // When the last number was called, in milliseconds since 1970 (UTC).
        {QStringLiteral("at"), game.calls().empty() ? 0.0 : double(game.calls().back().time)},
        // Between calls, in milliseconds: a page that hears nothing for two of them while
        // the game is calling knows what it shows may be old.
        {QStringLiteral("interval"), game.intervalMs()},
        {QStringLiteral("toWin"), toWin},
        {QStringLiteral("winners"), winners},
        {QStringLiteral("names"), names},
    };
    return QJsonDocument(board).toJson(QJsonDocument::Compact);
}
