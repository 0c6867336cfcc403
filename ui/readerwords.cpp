#include "readerwords.h"

#include "claimdesk.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QRegularExpression>

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("frmKalvor", text);
}

// "45 numbers called, the last was 64", as the question at start-up says it.
QString whereItStands(const std::vector<Call> &calls)
{
    if (calls.empty())
        return tr("no number called yet");
    return (calls.size() == 1 ? tr("1 number called, the last was %2")
                              : tr("%1 numbers called, the last was %2").arg(calls.size()))
        .arg(calls.back().number);
}
} // namespace

QString readerWords(Game::News what, const Game &game)
{
    const std::vector<Call> &calls = game.calls();
    // No default: a new kind of news is a compile error here until it has its words.
    switch (what) {
    case Game::News::Calling:
        return tr("Calling");
    case Game::News::Stopped:
        // A key press empties a reader's queue, so the number the game stopped on is said again.
        return calls.empty() ? tr("Stopped") : tr("Stopped after %1").arg(calls.back().number);
    case Game::News::Paused:
        return tr("Paused");
    case Game::News::SoundOff:
        return tr("Sound off");
    case Game::News::SoundOn:
        return tr("Sound on");
    case Game::News::NewGame:
        return tr("New game");
    case Game::News::Resumed:
        // Where the resumed game stands, in the words of the question just answered.
        return calls.empty() ? tr("Game resumed") : tr("Game resumed, %1").arg(whereItStands(calls));
    case Game::News::Claim:
        return tr("Checking a claim");
    }
    return QString();
}

QString spokenCall(const Call &call, bool withTime)
{
    const QString said = tr("%1, call %2").arg(call.number).arg(call.position);
    if (!withTime)
        return said;
    const QTime time = QDateTime::fromMSecsSinceEpoch(call.time).time();
    return tr("%1, at %2 %3 and %4 seconds")
        .arg(said)
        .arg(time.hour())
        .arg(time.minute(), 2, 10, QLatin1Char('0'))
        .arg(time.second());
}

QString spokenCode(const QString &code)
{
    // A whole code, or a book's three characters alone.
    static const QRegularExpression printed(QStringLiteral("^([2-9A-Z]{3})(?:-?([2-9A-Z]{4})-?([2-9A-Z]))?$"));
    const QRegularExpressionMatch match = printed.match(code.trimmed().toUpper());
    if (!match.hasMatch())
        return code;
    QStringList groups;
    for (int group = 1; group <= 3 && match.hasCaptured(group); ++group) {
        QStringList characters;
        for (const QChar c : match.captured(group))
            characters << QString(c);
        groups << characters.join(QLatin1Char(' '));
    }
    return groups.join(QStringLiteral(", "));
}

QString spokenTicket(const QString &label)
{
    const QString code = spokenCode(label);
    if (code != label)
        return tr("ticket %1").arg(code);
    QString name = ticketName(label);
    name.remove(QChar(0x2026));
    return name;
}

QString spokenLine(const QString &line)
{
    static const QRegularExpression colon(QStringLiteral(":(\\s+|$)"));
    static const QRegularExpression dash(QStringLiteral("\\s+[-\u2013\u2014]\\s+"));
    QString spoken = line;
    spoken.replace(colon, QStringLiteral(",\\1"));
    spoken.replace(dash, QStringLiteral(", "));
    return spoken.trimmed();
}

QString spokenClaim(const PhoneClaim &claim)
{
    return tr("%1, %2, call %3").arg(prizes::name(claim.prize), spokenTicket(claim.code)).arg(claim.call);
}

QString missedWords(const Game &game, const std::vector<PhoneClaim> &waiting)
{
    QStringList said;
    if (!waiting.empty()) {
        const PhoneClaim &newest = waiting.back();
        const QString prize = prizes::name(newest.prize);
        said << (waiting.size() == 1
                     ? tr("A claim from a phone waits, %1, ticket %2").arg(prize, spokenCode(newest.code))
                     : tr("%1 claims from phones wait, the newest %2, ticket %3")
                           .arg(waiting.size())
                           .arg(prize, spokenCode(newest.code)));
    }
    if (!game.notKept().isEmpty())
        said << spokenLine(tr("This game is not being kept, so a crash would lose it: %1").arg(game.notKept()));
    const QString position = whereItStands(game.calls());
    switch (game.run()) {
    case Game::Run::Waiting:
        said << tr("Waiting for Start, %1").arg(position);
        break;
    case Game::Run::Calling:
        said << tr("Calling, %1").arg(position);
        break;
    case Game::Run::Stopped:
        said << tr("Stopped, %1").arg(position);
        break;
    case Game::Run::Paused:
        said << tr("Paused, %1").arg(position);
        break;
    }
    if (waiting.empty() && game.notKept().isEmpty())
        said.prepend(tr("Nothing missed"));
    return said.join(QStringLiteral(". ")) + QLatin1Char('.');
}
