#include "claimdesk.h"

#include "claims.h"
#include "ticketcode.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace {
// A page's list of its tickets: twelve codes and their quotes fit well within this.
constexpr int MaxHoldMessage = 600;

// The verdict a claim of this prize gets: the full houses are one claim, told the best any
// of them has.
const Verdict *verdictOf(Prize claimed, const std::vector<Verdict> &verdicts)
{
    const Verdict *found = nullptr;
    for (const Verdict &verdict : verdicts) {
        const bool same = verdict.prize == claimed || (prizes::isFullHouse(claimed) && prizes::isFullHouse(verdict.prize));
        if (same && (!found || verdict.kind < found->kind))
            found = &verdict;
    }
    return found;
}
} // namespace

QByteArray ClaimDesk::Answer::text() const
{
    QJsonObject answer{{QStringLiteral("claim"), claim.code}, {QStringLiteral("status"), status}};
    if (!claim.code.isEmpty() && claim.call > 0) {
        answer.insert(QStringLiteral("prize"), prizes::key(claim.prize));
        answer.insert(QStringLiteral("call"), claim.call);
    }
    if (!verdict.isEmpty())
        answer.insert(QStringLiteral("verdict"), verdict);
    else if (status != 202)
        answer.insert(QStringLiteral("why"), why);
    return QJsonDocument(answer).toJson(QJsonDocument::Compact);
}

void ClaimDesk::setBooks(const std::vector<BookList::Book> &list)
{
    books = list;
}

QByteArray ClaimDesk::booksMessage() const
{
    std::set<std::uint32_t> numbers;
    for (const BookList::Book &book : books)
        numbers.insert(book.book);
    QJsonArray list;
    for (std::uint32_t book : numbers)
        list.append(TicketCode::bookText(book));
    return QJsonDocument(QJsonObject{{QStringLiteral("books"), list}}).toJson(QJsonDocument::Compact);
}

void ClaimDesk::follow(const QByteArray &snapshot, qint64 now)
{
    const QJsonObject board = QJsonDocument::fromJson(snapshot).object();
    const qint64 id = qint64(board.value(QStringLiteral("game")).toDouble());
    if (id != game) {
        game = id;
        claimed.clear();
        kept.clear();
        keptOrder.clear();
    }
    std::vector<Call> made;
    for (const QJsonValue &n : board.value(QStringLiteral("calls")).toArray())
        made.push_back({int(made.size()) + 1, std::int16_t(n.toInt()), 0});
    if (made.size() != calls.size()) {
        lastCallAt = now;
        const int current = int(made.size());
        for (auto it = claimed.begin(); it != claimed.end();)
            it = it->first < current - 1 ? claimed.erase(it) : std::next(it);
    }
    calls = std::move(made);
    inPlay = 0;
    Prize prize = Prize::FullHouse;
    for (const QJsonValue &key : board.value(QStringLiteral("toWin")).toArray()) {
        if (prizes::fromKey(key.toString().toLatin1(), prize))
            inPlay = prizes::Set(inPlay | prizes::bit(prize));
    }
    wins.clear();
    for (const QJsonValue &value : board.value(QStringLiteral("winners")).toArray()) {
        const QJsonObject w = value.toObject();
        Win win;
        if (!prizes::fromKey(w.value(QStringLiteral("prize")).toString().toLatin1(), win.prize))
            continue;
        inPlay = prizes::Set(inPlay | prizes::bit(win.prize));
        // A ticket typed in by the host has no code here: it stands for another ticket.
        win.ticket = w.value(QStringLiteral("ticket")).toString();
        if (win.ticket.isEmpty())
            win.ticket = QStringLiteral("?%1").arg(wins.size());
        win.position = w.value(QStringLiteral("call")).toInt();
        win.number = std::int16_t(w.value(QStringLiteral("number")).toInt());
        wins.push_back(win);
    }
}

bool ClaimDesk::isClaim(const QByteArray &message)
{
    return message.startsWith('{') && message.contains("\"claim\"");
}

ClaimDesk::Answer ClaimDesk::admit(const QString &address, const QByteArray &message, qint64 now)
{
    Answer answer;
    // Every claim counts against the phone's few, refused ones too: a flood costs it alone,
    // on whatever channel it comes.
    if (recent.size() >= MaxPhonesCounted) {
        for (auto it = recent.begin(); it != recent.end();)
            it = it->second.empty() || now - it->second.back() >= PerPhoneMs ? recent.erase(it) : std::next(it);
    }
    if (recent.size() >= MaxPhonesCounted && recent.count(address) == 0) {
        answer.status = 429;
        answer.why = QStringLiteral("The caller has too many claims to count: claim again in a minute.");
        return answer;
    }
    std::deque<qint64> &mine = recent[address];
    while (!mine.empty() && now - mine.front() >= PerPhoneMs)
        mine.pop_front();
    if (int(mine.size()) >= PerPhone) {
        answer.status = 429;
        answer.why = QStringLiteral("Too many claims from this phone: wait a minute.");
        return answer;
    }
    mine.push_back(now);

    const QJsonObject claim = message.size() <= MaxMessage ? QJsonDocument::fromJson(message).object() : QJsonObject();
    const QString typed = claim.value(QStringLiteral("claim")).toString().left(20);
    TicketCode code;
    QString why;
    if (!TicketCode::parse(typed, code, why)) {
        answer.status = 400;
        answer.why = QStringLiteral("That is not a ticket's code.");
        return answer;
    }
    answer.claim.code = code.text();
    switch (BookList::standing(books, code)) {
    case BookList::Standing::InPlay:
        break;
    case BookList::Standing::BookNotListed:
        answer.status = 403;
        answer.why = QStringLiteral("Book %1 was not printed by this caller.").arg(TicketCode::bookText(code.book));
        return answer;
    case BookList::Standing::PastTheBook:
        answer.status = 403;
        answer.why = QStringLiteral("Ticket %1 was not printed by this caller.").arg(code.text());
        return answer;
    }
    Prize prize = Prize::FullHouse;
    if (!prizes::fromKey(claim.value(QStringLiteral("prize")).toString().toLatin1(), prize)) {
        answer.status = 422;
        answer.why = QStringLiteral("That is not a prize of this game.");
        return answer;
    }
    if (calls.empty()) {
        answer.status = 422;
        answer.why = QStringLiteral("No number has been called yet.");
        return answer;
    }
    // At the call the phone showed, when that was the one before and the next has only just come.
    const int current = int(calls.size());
    const bool crossed = claim.value(QStringLiteral("call")).toInt() == current - 1 && now - lastCallAt <= CrossingMs;
    const int at = crossed ? current - 1 : current;
    answer.claim.prize = prize;
    answer.claim.call = at;
    if (!claimed.insert({at, answer.claim.code}).second) {
        answer.status = 409;
        answer.why = QStringLiteral("This ticket has claimed at this call already.");
        return answer;
    }
    // The game's own judge, on the game as the phones see it: what it already refuses never
    // reaches the host. What only the host can tell (a ticket typed in that may be this one)
    // goes on to the host.
    const std::vector<Verdict> verdicts = checkClaim(ClaimTicket::of(code), inPlay, calls, wins, at);
    const Verdict *verdict = verdictOf(prize, verdicts);
    if (!verdict || (verdict->kind != Verdict::Valid && verdict->kind != Verdict::CannotTell)) {
        answer.status = 422;
        answer.verdict = phoneVerdict(prize, verdicts, false);
        return answer;
    }
    answer.status = 202;
    answer.claim.game = game;
    answer.claim.address = address;
    answer.claim.time = now;
    return answer;
}

bool ClaimDesk::heldTickets(const QByteArray &message, std::vector<QString> &codes)
{
    if (message.size() > MaxHoldMessage || !message.startsWith("{\"hold\""))
        return false;
    const QJsonValue list = QJsonDocument::fromJson(message).object().value(QStringLiteral("hold"));
    if (!list.isArray())
        return false;
    codes.clear();
    for (const QJsonValue &value : list.toArray()) {
        TicketCode code;
        QString why;
        if (codes.size() < MaxHeld && TicketCode::parse(value.toString().left(20), code, why)
            && std::find(codes.begin(), codes.end(), code.text()) == codes.end())
            codes.push_back(code.text());
    }
    return true;
}

void ClaimDesk::keepVerdict(const QString &code, const QByteArray &message)
{
    std::deque<QByteArray> &mine = kept[code];
    if (mine.empty())
        keptOrder.push_back(code);
    mine.push_back(message);
    if (mine.size() > KeptPerTicket)
        mine.pop_front();
    // Past the bound, the tickets told longest ago are forgotten first.
    std::size_t total = 0;
    for (const auto &entry : kept)
        total += entry.second.size();
    while (total > MaxKept && !keptOrder.empty()) {
        const auto oldest = kept.find(keptOrder.front());
        keptOrder.pop_front();
        if (oldest != kept.end()) {
            total -= oldest->second.size();
            kept.erase(oldest);
        }
    }
}

std::vector<QByteArray> ClaimDesk::verdictsFor(const QString &code) const
{
    const auto found = kept.find(code);
    return found == kept.end() ? std::vector<QByteArray>() : std::vector<QByteArray>(found->second.begin(), found->second.end());
}

QString phoneVerdict(Prize claimed, const std::vector<Verdict> &verdicts, bool accepted)
{
    const Verdict *found = verdictOf(claimed, verdicts);
    if (!found)
        return QStringLiteral("Not in play");
    switch (found->kind) {
    case Verdict::Valid:
        return accepted ? QStringLiteral("Valid: %1 is yours").arg(prizes::name(found->prize))
                        : QStringLiteral("Not accepted by the host");
    case Verdict::Late:
        return QStringLiteral("Late");
    case Verdict::AlreadyWon:
        return QStringLiteral("Already won");
    case Verdict::NotComplete:
        return QStringLiteral("Not complete");
    case Verdict::CannotTell:
        break;
    }
    return QStringLiteral("Not accepted by the host");
}
