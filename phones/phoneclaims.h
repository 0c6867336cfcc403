#pragma once

#include "claimdesk.h"

#include <QByteArray>
#include <QObject>

#include <utility>
#include <vector>

struct ClaimTicket;
struct Verdict;

// The claims the phones sent, waiting for the host, oldest first, a few per ticket and per
// phone. The host's decision on a ticket's claim at a call (Accept or Reject in Check a
// Claim) settles every claim of that ticket at that call, and its verdict goes to the
// ticket, wherever it is held; a verdict is kept for the game, for a page that comes back. A
// claim of another game is told the game ended; a new game sets them all aside. Nothing here
// decides a claim.
class PhoneClaims : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxWaiting = 500;  // past this, the newest are told to claim again later
    static constexpr int PerTicket = 3;     // claims of one ticket waiting at once
    static constexpr int PerPhone = 6;      // ... and of one phone
    static constexpr std::size_t MaxTold = 1000; // verdicts kept for the game

    using QObject::QObject;

    const std::vector<PhoneClaim> &waiting() const { return list; }
    // The claim the host checks next: the oldest waiting; null when none is.
    const PhoneClaim *next() const;
    // A claim the server admitted; false when it is refused (the ticket is told why).
    bool add(const PhoneClaim &claim);
    // The host decided on a ticket's claim made at call `at`: every claim waiting with its code
    // at that call gets its verdict.
    void settle(const ClaimTicket &ticket, int at, const std::vector<Verdict> &verdicts, bool accepted);
    // The game now being played: a new one sets every claim of the last aside.
    void follow(qint64 game);
    // The verdicts told this game: (ticket, message), oldest first.
    const std::vector<std::pair<QString, QByteArray>> &told() const { return verdicts; }

    // "8QB-2222-V · Top Line · call 31": a waiting claim as the host's list shows it.
    static QString line(const PhoneClaim &claim);

Q_SIGNALS:
    void arrived(const PhoneClaim &claim);
    // The list changed by one: a claim added at, or removed from, this place; then changed().
    void added(int at);
    void removed(int at);
    void changed();
    // A verdict for a ticket, as the page reads it.
    void verdict(const QString &code, const QByteArray &message);

private:
    void tell(const PhoneClaim &claim, const QString &words);

    qint64 game = 0;
    std::vector<PhoneClaim> list;
    std::vector<std::pair<QString, QByteArray>> verdicts;
};
