#include "phoneclaims.h"

#include "claims.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

const PhoneClaim *PhoneClaims::next() const
{
    return list.empty() ? nullptr : &list.front();
}

bool PhoneClaims::add(const PhoneClaim &claim)
{
    // Made in a game that has ended: there is nothing left for it to win.
    if (claim.game != game) {
        tell(claim, QStringLiteral("The game ended: this claim was not checked"));
        return false;
    }
    const auto ofTicket = std::count_if(list.begin(), list.end(), [&](const PhoneClaim &c) { return c.code == claim.code; });
    const auto ofPhone = std::count_if(list.begin(), list.end(), [&](const PhoneClaim &c) { return c.address == claim.address; });
    if (int(list.size()) >= MaxWaiting || ofTicket >= PerTicket || ofPhone >= PerPhone) {
        tell(claim, QStringLiteral("The host has too many claims waiting: claim again in a moment"));
        return false;
    }
    list.push_back(claim);
    Q_EMIT added(int(list.size()) - 1);
    Q_EMIT changed();
    Q_EMIT arrived(claim); // last: a list made now shows it already
    return true;
}

void PhoneClaims::settle(const ClaimTicket &ticket, int at, const std::vector<Verdict> &verdicts, bool accepted)
{
    if (!ticket.fromCode)
        return;
    for (std::size_t i = 0; i < list.size();) {
        if (list[i].code != ticket.label || list[i].call != at) {
            ++i;
            continue;
        }
        const PhoneClaim claim = list[i];
        list.erase(list.begin() + std::ptrdiff_t(i));
        Q_EMIT removed(int(i));
        Q_EMIT changed();
        tell(claim, phoneVerdict(claim.prize, verdicts, accepted));
    }
}

void PhoneClaims::follow(qint64 now)
{
    if (now == game)
        return;
    game = now;
    while (!list.empty()) {
        const PhoneClaim claim = list.back();
        list.pop_back();
        Q_EMIT removed(int(list.size()));
        Q_EMIT changed();
        tell(claim, QStringLiteral("A new game began: this claim was not checked"));
    }
    verdicts.clear(); // what a page hears of the last game is not kept for this one
}

QString PhoneClaims::line(const PhoneClaim &claim)
{
    return QStringLiteral("%1 · %2 · call %3").arg(claim.code, prizes::name(claim.prize)).arg(claim.call);
}

void PhoneClaims::tell(const PhoneClaim &claim, const QString &words)
{
    const QJsonObject message{{QStringLiteral("claim"), claim.code},
                              {QStringLiteral("prize"), prizes::key(claim.prize)},
                              {QStringLiteral("call"), claim.call},
                              {QStringLiteral("verdict"), words}};
    const QByteArray text = QJsonDocument(message).toJson(QJsonDocument::Compact);
    if (claim.game == game) {
        verdicts.emplace_back(claim.code, text);
        if (verdicts.size() > MaxTold)
            verdicts.erase(verdicts.begin());
    }
    Q_EMIT verdict(claim.code, text);
}
