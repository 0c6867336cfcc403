#include "claimdesk.h"

#include "claims.h"
#include "ticketcode.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
bool isFullHouse(Prize prize)
{
    return prize == Prize::FullHouse || prize == Prize::SecondFullHouse || prize == Prize::ThirdFullHouse;
}

bool prizeNamed(const QString &name, Prize &prize)
{
    for (int i = 0; i < PrizeCount; ++i) {
        if (prizes::name(Prize(i)) == name) {
            prize = Prize(i);
            return true;
        }
    }
    return false;
}
} // namespace

QByteArray ClaimDesk::Answer::text() const
{
    QJsonObject answer{{QStringLiteral("claim"), claim.code}, {QStringLiteral("status"), status}};
    if (status == 202) {
        answer.insert(QStringLiteral("prize"), prizes::name(claim.prize));
        answer.insert(QStringLiteral("call"), claim.call);
    } else {
        answer.insert(QStringLiteral("why"), why);
    }
    return QJsonDocument(answer).toJson(QJsonDocument::Compact);
}

void ClaimDesk::setBooks(const std::vector<std::uint32_t> &list)
{
    books = std::set<std::uint32_t>(list.begin(), list.end());
}

QByteArray ClaimDesk::booksMessage() const
{
    QJsonArray list;
    for (std::uint32_t book : books)
        list.append(TicketCode::bookText(book));
    return QJsonDocument(QJsonObject{{QStringLiteral("books"), list}}).toJson(QJsonDocument::Compact);
}

void ClaimDesk::follow(const QByteArray &snapshot)
{
    const QJsonObject board = QJsonDocument::fromJson(snapshot).object();
    const int now = int(board.value(QStringLiteral("calls")).toArray().size());
    if (now != calls)
        claimedThisCall.clear();
    calls = now;
    toWin.clear();
    for (const QJsonValue &name : board.value(QStringLiteral("toWin")).toArray())
        toWin << name.toString();
    winners.clear();
    for (const QJsonValue &win : board.value(QStringLiteral("winners")).toArray()) {
        const QJsonObject w = win.toObject();
        winners.emplace_back(w.value(QStringLiteral("prize")).toString(), w.value(QStringLiteral("call")).toInt());
    }
}

bool ClaimDesk::isClaim(const QByteArray &message)
{
    return message.startsWith("{\"claim\"");
}

ClaimDesk::Answer ClaimDesk::admit(quint64 phone, const QByteArray &message, qint64 now)
{
    Answer answer;
    // Every claim counts against the phone's few, refused ones too: a flood costs it alone.
    std::deque<qint64> &mine = recent[phone];
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
    if (books.count(code.book) == 0) {
        answer.status = 403;
        answer.why = QStringLiteral("Book %1 was not printed by this caller.").arg(TicketCode::bookText(code.book));
        return answer;
    }
    const QString prizeName = claim.value(QStringLiteral("prize")).toString();
    Prize prize = Prize::FullHouse;
    // Still to win, or won at this very call: two tickets completing it together share it.
    bool open = toWin.contains(prizeName);
    for (const auto &[name, at] : winners)
        open = open || (name == prizeName && at == calls);
    if (!prizeNamed(prizeName, prize) || !open || calls == 0) {
        answer.status = 422;
        answer.why = QStringLiteral("That prize is not there to win.");
        return answer;
    }
    if (!claimedThisCall.insert(answer.claim.code).second) {
        answer.status = 409;
        answer.why = QStringLiteral("This ticket has claimed at this call already.");
        return answer;
    }
    answer.status = 202;
    answer.claim.prize = prize;
    answer.claim.call = calls;
    answer.claim.phone = phone;
    answer.claim.time = now;
    return answer;
}

void ClaimDesk::forget(quint64 phone)
{
    recent.erase(phone);
}

QString phoneVerdict(Prize claimed, const std::vector<Verdict> &verdicts, bool accepted)
{
    // The full houses are judged as one: the claim's verdict is the best any of them has.
    const Verdict *found = nullptr;
    for (const Verdict &verdict : verdicts) {
        const bool same = verdict.prize == claimed || (isFullHouse(claimed) && isFullHouse(verdict.prize));
        if (same && (!found || verdict.kind < found->kind))
            found = &verdict;
    }
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
