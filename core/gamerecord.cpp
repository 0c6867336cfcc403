#include "gamerecord.h"

#include <QDateTime>
#include <QList>

// The record is plain ASCII text, lines ending in a line feed, in this order:
//
//   tabro-kalvor game record 1
//   state playing                  (or: ended)
//   interval 1200                  (milliseconds, 1000 to 5000)
//   sound 1                        (1 on, 0 off)
//   prizes early-five top-line ... (the prizes in play, in their order; "prizes" alone: none)
//   next 4                         (the position of the next call, 1 to 91)
//   called 3                       (numbers called, 0 to 90: next - 1)
//   order 12 45 7 ... 33           (the 90 numbers in the order they are called)
//   call 1 12 2026-12-09T20:15:03.120Z   (one line a call: position, number, UTC time)
//   ...
//   won top-line 31 45 2026-12-09T20:16:03.000Z 8QB-2222-V
//                                  (one line a prize won: the prize, the call's position and
//                                   number, when it was accepted, the ticket's code or
//                                   "typed:" and its numbers, then "unlisted-book" when
//                                   the code was from a book this caller had not printed)
//   end
//
// A record is read only whole: a missing "end" line is a torn or truncated file.

namespace {
const QByteArray Magic = QByteArrayLiteral("tabro-kalvor game record");

QByteArray timeText(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(Qt::ISODateWithMs).toLatin1();
}

// A whole number written as text() writes it: digits only, no sign, no leading zeros.
bool wholeNumber(const QByteArray &text, int &value)
{
    if (text.isEmpty() || text.size() > 9 || (text.size() > 1 && text.startsWith('0')))
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    value = text.toInt();
    return true;
}
// A ticket as a won line holds it: printable ASCII without spaces, bounded.
bool ticketText(const QString &ticket)
{
    if (ticket.isEmpty() || ticket.size() > GameRecord::MaxTicketChars)
        return false;
    for (const QChar c : ticket) {
        if (c.unicode() <= 0x20 || c.unicode() >= 0x7f)
            return false;
    }
    return true;
}
} // namespace

bool GameRecord::canRecord(const QString &ticket, std::size_t winsSoFar)
{
    return ticketText(ticket) && winsSoFar + PrizeCount <= std::size_t(MaxWins);
}

QByteArray GameRecord::text() const
{
    QByteArray out;
    out.reserve(3 * 1024);
    out += Magic + ' ' + QByteArray::number(Version) + '\n';
    out += ended ? "state ended\n" : "state playing\n";
    out += "interval " + QByteArray::number(interval) + '\n';
    out += "sound " + QByteArray::number(soundflag == 1 ? 1 : 0) + '\n';
    out += "prizes";
    for (int i = 0; i < PrizeCount; ++i) {
        if (prizes & prizes::bit(Prize(i)))
            out += ' ' + prizes::key(Prize(i)).toLatin1();
    }
    out += '\n';
    out += "next " + QByteArray::number(callpos) + '\n';
    out += "called " + QByteArray::number(callcount) + '\n';
    out += "order";
    for (int i = 1; i <= GameState::Numbers; ++i)
        out += ' ' + QByteArray::number(callorder[i]);
    out += '\n';
    for (const Call &call : calls)
        out += "call " + QByteArray::number(call.position) + ' ' + QByteArray::number(call.number) + ' '
            + timeText(call.time) + '\n';
    for (const Win &win : wins)
        out += "won " + prizes::key(win.prize).toLatin1() + ' ' + QByteArray::number(win.position) + ' '
            + QByteArray::number(win.number) + ' ' + timeText(win.time) + ' ' + win.ticket.toLatin1()
            + (win.unlistedBook ? " unlisted-book\n" : "\n");
    out += "end\n";
    return out;
}

GameRecord::Reading GameRecord::read(const QByteArray &text, GameRecord &record, QString &why)
{
    auto damaged = [&why](const QString &reason) {
        why = reason;
        return Reading::Damaged;
    };
    if (text.isEmpty())
        return damaged(QStringLiteral("an empty file"));
    if (text.size() > MaxBytes)
        return damaged(QStringLiteral("too large to be a game record"));

    QList<QByteArray> lines = text.split('\n');
    const QList<QByteArray> head = lines.constFirst().split(' ');
    int version = 0;
    if (!lines.constFirst().startsWith(Magic + ' ') || head.size() != 4 || !wholeNumber(head[3], version))
        return damaged(QStringLiteral("not a game record"));
    if (version > Version) {
        why = QStringLiteral("a record of version %1, newer than this program reads").arg(version);
        return Reading::Newer;
    }
    if (version != Version)
        return damaged(QStringLiteral("a record of version %1, which this program does not read").arg(version));
    if (lines.size() < 2 || lines.constLast() != "" || lines[lines.size() - 2] != "end")
        return damaged(QStringLiteral("truncated: the record does not end"));
    lines.removeLast(); // what followed the last line feed
    lines.removeLast(); // "end"

    GameRecord r;
    int at = 1;
    // The value of the line at `at`, which must begin with key and a space.
    auto field = [&](const char *key, QByteArray &value) {
        const QByteArray prefix = QByteArray(key) + ' ';
        if (at >= lines.size() || !lines[at].startsWith(prefix))
            return false;
        value = lines[at++].mid(prefix.size());
        return true;
    };
    auto number = [&](const char *key, int low, int high, int &value) {
        QByteArray text;
        return field(key, text) && wholeNumber(text, value) && value >= low && value <= high;
    };

    QByteArray state;
    if (!field("state", state) || (state != "playing" && state != "ended"))
        return damaged(QStringLiteral("no state of play"));
    r.ended = state == "ended";
    int sound = 0;
    if (!number("interval", 1000, 5000, r.interval))
        return damaged(QStringLiteral("no interval from 1 to 5 seconds"));
    if (!number("sound", 0, 1, sound))
        return damaged(QStringLiteral("no sound switch"));
    r.soundflag = std::int16_t(sound);
    QByteArray prizeText;
    if (lines.value(at) == "prizes")
        ++at; // none in play
    else if (!field("prizes", prizeText))
        return damaged(QStringLiteral("no prizes"));
    r.prizes = 0;
    for (const QByteArray &key : prizeText.split(' ')) {
        Prize prize;
        if (key.isEmpty())
            continue;
        if (!prizes::fromKey(key, prize) || (r.prizes & prizes::bit(prize)))
            return damaged(QStringLiteral("an unknown prize '%1'").arg(QString::fromLatin1(key)));
        r.prizes = prizes::Set(r.prizes | prizes::bit(prize));
    }
    if (!number("next", 1, GameState::Numbers + 1, r.callpos))
        return damaged(QStringLiteral("a position past 90"));
    if (!number("called", 0, GameState::Numbers, r.callcount) || r.callcount != r.callpos - 1)
        return damaged(QStringLiteral("a count of calls that does not match the position"));

    QByteArray orderText;
    if (!field("order", orderText))
        return damaged(QStringLiteral("no call order"));
    const QList<QByteArray> order = orderText.split(' ');
    if (order.size() != GameState::Numbers)
        return damaged(QStringLiteral("an order of %1 numbers, not 90").arg(order.size()));
    std::array<bool, GameState::Numbers + 1> seen{};
    for (int i = 1; i <= GameState::Numbers; ++i) {
        int n = 0;
        if (!wholeNumber(order[i - 1], n) || n < 1 || n > GameState::Numbers)
            return damaged(QStringLiteral("a number outside 1 to 90 in the order"));
        if (seen[n])
            return damaged(QStringLiteral("%1 twice in the order").arg(n));
        seen[n] = true;
        r.callorder[i] = std::int16_t(n);
    }

    for (int position = 1; position <= r.callcount; ++position) {
        QByteArray callText;
        if (!field("call", callText))
            return damaged(QStringLiteral("%1 calls listed, %2 counted").arg(position - 1).arg(r.callcount));
        const QList<QByteArray> parts = callText.split(' ');
        int p = 0;
        int n = 0;
        if (parts.size() != 3 || !wholeNumber(parts[0], p) || !wholeNumber(parts[1], n) || p != position
            || n != r.callorder[position])
            return damaged(QStringLiteral("call %1 does not match the order").arg(position));
        const QDateTime when = QDateTime::fromString(QString::fromLatin1(parts[2]), Qt::ISODateWithMs);
        if (!when.isValid() || timeText(when.toMSecsSinceEpoch()) != parts[2])
            return damaged(QStringLiteral("call %1 has no time").arg(position));
        r.calls.push_back({p, std::int16_t(n), when.toMSecsSinceEpoch()});
    }
    QByteArray wonText;
    while (field("won", wonText)) {
        if (r.wins.size() >= std::size_t(MaxWins))
            return damaged(QStringLiteral("more than %1 prizes won").arg(MaxWins));
        const QList<QByteArray> parts = wonText.split(' ');
        Win win;
        int p = 0;
        int n = 0;
        const bool unlisted = parts.size() == 6 && parts[5] == "unlisted-book";
        if ((parts.size() != 5 && !unlisted) || !prizes::fromKey(parts[0], win.prize) || !(r.prizes & prizes::bit(win.prize))
            || !wholeNumber(parts[1], p) || p < 1 || p > r.callcount || !wholeNumber(parts[2], n)
            || n != r.callorder[p] || !ticketText(QString::fromLatin1(parts[4])))
            return damaged(QStringLiteral("a prize won that does not match the game"));
        const QDateTime when = QDateTime::fromString(QString::fromLatin1(parts[3]), Qt::ISODateWithMs);
        if (!when.isValid() || timeText(when.toMSecsSinceEpoch()) != parts[3])
            return damaged(QStringLiteral("a prize won with no time"));
        win.position = p;
        win.number = std::int16_t(n);
        win.time = when.toMSecsSinceEpoch();
        win.ticket = QString::fromLatin1(parts[4]);
        win.unlistedBook = unlisted;
        r.wins.push_back(win);
    }
    if (at != lines.size())
        return damaged(QStringLiteral("more calls listed than counted"));
    record = std::move(r);
    return Reading::Read;
}
