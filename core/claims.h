#pragma once

#include "gamerecord.h"
#include "prize.h"
#include "ticket.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

// The ticket a player claims with: one of ours, rebuilt from its code, or the numbers a
// host typed in from a ticket printed elsewhere (rows known only when typed row by row).
struct ClaimTicket
{
    QString label;              // the code, or "typed:..." as a win records it
    std::vector<std::int16_t> numbers;
    std::vector<std::vector<std::int16_t>> rows; // top to bottom, each left to right; empty when not known

    // Reads what the host typed: a ticket code, or up to fifteen numbers separated by
    // spaces or commas, optionally row by row with "/" between the rows. On bad input,
    // false and why, in words for the host.
    static bool read(const QString &typed, ClaimTicket &ticket, QString &why);
    static ClaimTicket of(const QString &code, const Ticket &ticket);
};

// One prize's verdict on one ticket, given the calls so far.
struct Verdict
{
    enum Kind { Valid, Late, NotComplete, AlreadyWon, CannotTell };

    Prize prize = Prize::FullHouse;
    Kind kind = NotComplete;
    int completedAt = 0;         // Valid, Late: the call that completed it
    std::int16_t completedBy = 0; // ... and its number
    std::vector<std::int16_t> missing; // NotComplete: the numbers still to come
    Win winner;                  // AlreadyWon: the first win; Valid: a share, when shared
    bool shared = false;         // Valid: another ticket won it at this same call
    QString why;                 // CannotTell: what was not typed

    // In the host's words: "Full House: Valid", "Top Line: Late, complete since call 31 (number 45)".
    QString text() const;
};

// The verdict of every prize in play, in prize order. A Full House already won is
// checked as the next one in play (second, then third). A prize won at the last call is
// shared by every ticket that completed it with that same call.
std::vector<Verdict> checkClaim(const ClaimTicket &ticket, prizes::Set inPlay, const std::vector<Call> &calls,
                                const std::vector<Win> &wins);
