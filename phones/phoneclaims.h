#pragma once

#include "claimdesk.h"

#include <QObject>

#include <vector>

struct ClaimTicket;
struct Verdict;

// The claims the phones sent, waiting for the host, oldest first. The host's decision on a
// ticket (Accept or Reject in Check a Claim) settles every claim waiting for it and sends
// each its verdict; a new game sets them all aside. Nothing here decides a claim.
class PhoneClaims : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxWaiting = 500; // past this, the newest are told to claim again later

    using QObject::QObject;

    const std::vector<PhoneClaim> &waiting() const { return list; }
    // A claim the server admitted; false when the list is full (the phone is told).
    bool add(const PhoneClaim &claim);
    // The host decided on a ticket: every claim waiting with its code gets its verdict.
    void settle(const ClaimTicket &ticket, const std::vector<Verdict> &verdicts, bool accepted);
    // A new game: no claim of the last one stands.
    void clear();

    // "8QB-2222-V · Top Line · call 31": a waiting claim as the host's list shows it.
    static QString line(const PhoneClaim &claim);

Q_SIGNALS:
    void arrived(const PhoneClaim &claim);
    void changed();
    // A verdict for the phone that sent a claim, as the page reads it.
    void verdict(quint64 phone, const QByteArray &message);

private:
    void tell(const PhoneClaim &claim, const QString &words);

    std::vector<PhoneClaim> list;
};
