#include "ticketdeal.h"

#include "books.h"
#include "ticketcode.h"

#include <QDateTime>
#include <QRegularExpression>

bool TicketDeal::players(const QString &typed, QStringList &names, QString &why)
{
    names.clear();
    const QString plain = typed.trimmed();
    bool number = false;
    const int count = plain.toInt(&number);
    if (number) {
        if (count < 1 || count > MaxPlayers) {
            why = QStringLiteral("Deal to 1 to %1 players.").arg(MaxPlayers);
            return false;
        }
        for (int i = 1; i <= count; ++i)
            names << QStringLiteral("Player %1").arg(i);
        return true;
    }
    for (QString line : plain.split(QLatin1Char('\n'))) {
        // A name is text for people: control characters and separators of the list go.
        line.remove(QRegularExpression(QStringLiteral("[\\x00-\\x1f\\x7f]")));
        line = line.simplified().left(MaxName);
        if (!line.isEmpty())
            names << line;
    }
    if (names.isEmpty()) {
        why = QStringLiteral("Type the players' names, one a line, or how many players there are.");
        return false;
    }
    if (names.size() > MaxPlayers) {
        why = QStringLiteral("Deal to at most %1 players at once.").arg(MaxPlayers);
        return false;
    }
    return true;
}

bool TicketDeal::deal(const QStringList &names, int each, const QString &folder,
                      const std::function<std::uint32_t(std::uint32_t)> &random, TicketDeal &out, QString &why)
{
    if (names.isEmpty() || names.size() > MaxPlayers || each < 1 || each > MaxEach) {
        why = QStringLiteral("Deal 1 to %1 tickets each to 1 to %2 players.").arg(MaxEach).arg(MaxPlayers);
        return false;
    }
    BookList list(folder);
    QString damaged;
    list.load(damaged);
    TicketDeal made;
    if (!list.newBook(made.book, random)) {
        why = QStringLiteral("Every book number has been used already.");
        return false;
    }
    const int tickets = int(names.size()) * each;
    made.strips = (tickets + TicketsPerStrip - 1) / TicketsPerStrip;
    // Only a book on the list is in play: nothing is handed out until it is kept.
    if (!list.add({made.book, made.strips, Paper::A4, QDateTime::currentMSecsSinceEpoch(), true}, why))
        return false;
    std::uint32_t serial = 0;
    for (const QString &name : names) {
        Hand hand;
        hand.name = name;
        for (int i = 0; i < each; ++i)
            hand.codes << TicketCode{made.book, serial++}.text();
        made.hands.push_back(hand);
    }
    out = made;
    return true;
}

QString TicketDeal::text() const
{
    QString text;
    for (const Hand &hand : hands)
        text += hand.name + QStringLiteral(": ") + hand.link + QLatin1Char('\n');
    return text;
}

QString TicketDeal::csv() const
{
    auto field = [](const QString &value) {
        // A leading sign would make a spreadsheet read the name as a formula.
        QString safe = value;
        if (!safe.isEmpty() && QStringLiteral("=+-@").contains(safe.front()))
            safe.prepend(QLatin1Char('\''));
        if (safe.contains(QLatin1Char(',')) || safe.contains(QLatin1Char('"')))
            return QLatin1Char('"') + QString(safe).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
        return safe;
    };
    QString text = QStringLiteral("name,tickets,link\n");
    for (const Hand &hand : hands)
        text += field(hand.name) + QLatin1Char(',') + field(hand.codes.join(QLatin1Char(' '))) + QLatin1Char(',')
            + field(hand.link) + QLatin1Char('\n');
    return text;
}
