#include "phoneclaims.h"

#include "claims.h"

#include <QJsonDocument>
#include <QJsonObject>

bool PhoneClaims::add(const PhoneClaim &claim)
{
    if (int(list.size()) >= MaxWaiting) {
        tell(claim, QStringLiteral("The host has too many claims waiting: claim again in a moment"));
        return false;
    }
    list.push_back(claim);
    Q_EMIT arrived(claim);
    Q_EMIT changed();
    return true;
}

void PhoneClaims::settle(const ClaimTicket &ticket, const std::vector<Verdict> &verdicts, bool accepted)
{
    if (!ticket.fromCode)
        return;
    const auto before = list.size();
    for (auto it = list.begin(); it != list.end();) {
        if (it->code == ticket.label) {
            tell(*it, phoneVerdict(it->prize, verdicts, accepted));
            it = list.erase(it);
        } else {
            ++it;
        }
    }
    if (list.size() != before)
        Q_EMIT changed();
}

void PhoneClaims::clear()
{
    if (list.empty())
        return;
    for (const PhoneClaim &claim : list)
        tell(claim, QStringLiteral("A new game began: this claim was not checked"));
    list.clear();
    Q_EMIT changed();
}

QString PhoneClaims::line(const PhoneClaim &claim)
{
    return QStringLiteral("%1 · %2 · call %3").arg(claim.code, prizes::name(claim.prize)).arg(claim.call);
}

void PhoneClaims::tell(const PhoneClaim &claim, const QString &words)
{
    const QJsonObject message{{QStringLiteral("claim"), claim.code},
                              {QStringLiteral("prize"), prizes::name(claim.prize)},
                              {QStringLiteral("verdict"), words}};
    Q_EMIT verdict(claim.phone, QJsonDocument(message).toJson(QJsonDocument::Compact));
}
