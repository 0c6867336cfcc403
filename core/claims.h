#pragma once

#include "gamerecord.h"
#include "prize.h"
#include "ticket.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

struct TicketCode;

// The ticket a player claims with: one of ours, rebuilt from its code, or the numbers a
// host typed in from a ticket printed elsewhere (rows known only when typed row by row).
// Two claims are the same ticket when they hold the same numbers, however they were typed.
struct ClaimTicket
{
    // Longer input is refused at once: a ticket's code or its fifteen numbers fit in far less.
    static constexpr int MaxTypedLength = 300;

    QString label;              // the code, or typedLabel() of its numbers, as a win records it
    std::vector<std::int16_t> numbers;
    std::vector<std::vector<std::int16_t>> rows; // top to bottom, each left to right; empty when not known
    bool fromCode = false;      // read from one of our codes
    std::uint32_t book = 0;     // fromCode: the book it was printed in
    std::uint32_t serial = 0;   // fromCode: its serial in the book
    bool unlistedBook = false;  // fromCode: not printed by this caller (its book, or this ticket of it), checked anyway

    // Reads what the host typed: a ticket code (three characters, four and one, with or
    // without the dashes), or else up to fifteen numbers separated by spaces, commas or
    // semicolons, optionally row by row with "/" between the rows. On bad input, false and
    // why, in words for the host.
    static bool read(const QString &typed, ClaimTicket &ticket, QString &why);
    static ClaimTicket of(const TicketCode &code);
    // The ticket a win's label names, rebuilt; false for a label that names none.
    static bool fromLabel(const QString &label, ClaimTicket &ticket);
    // "typed:4,17,23": the label of a ticket known only by the numbers typed.
    static QString typedLabel(std::vector<std::int16_t> numbers);
    static bool isTypedLabel(const QString &label);
    bool whole() const { return numbers.size() == std::size_t(Ticket::Numbers); }
};

// Whether two claims hold the same ticket. Two whole tickets are the same when their numbers
// are; a ticket known only in part cannot be told apart from one that holds all its numbers.
enum class Sameness { Different, Same, Indistinguishable };
Sameness sameness(const ClaimTicket &a, const ClaimTicket &b);

// A ticket as a host reads it in a sentence: its code, or for one typed in, its first
// numbers and "typed" ("typed 2 33 57…").
QString ticketName(const QString &label);

// One prize's verdict on one ticket, given the calls up to the claim's.
struct Verdict
{
    enum Kind { Valid, Late, AlreadyWon, NotComplete, CannotTell }; // the order a host reads them
    enum Reason { RowsNotTyped, NotWhole, LikeAWinner, HoldsAWinner };

    Prize prize = Prize::FullHouse;
    Kind kind = NotComplete;
    int completedAt = 0;          // Valid, Late: the call that completed it (Late, in part: by then at the latest)
    std::int16_t completedBy = 0; // ... and its number
    bool orEarlier = false;       // Late on a ticket typed in part: perhaps complete before completedAt
    std::vector<std::int16_t> missing; // NotComplete: the numbers still to come, of those known
    int toCome = 0;               // NotComplete, when counted: how many more of its numbers must come
    bool atLeast = false;         // NotComplete on a ticket typed in part: more may be missing
    Win winner;                   // AlreadyWon: the win that took it; LikeAWinner, HoldsAWinner: the win it may be
    std::vector<Win> sharedWith;  // Valid: the other tickets that completed it with this same call
    std::vector<Win> paidAfter;   // Valid at an earlier call: others accepted for it after that call
    bool byThisTicket = false;    // AlreadyWon: by this very ticket
    Reason reason = RowsNotTyped; // CannotTell: what was not typed
    int typed = 0;                // CannotTell, NotWhole: how many numbers were

    // In the host's words: "Full House: Valid", "Top Line: Late, complete since call 31 (number 45)".
    QString text() const;
};

// The verdict of every prize in play, in prize order, as of call `at` (0: the last call):
// the calls after it are not seen, nor prizes other tickets won after it (a claim made
// first is paid first), but this ticket's own wins are, whenever they came. The full houses
// are judged as one: a claim takes the first still to win, a ticket that won one takes none
// of the others. A prize won at the call judged is shared by every other ticket that
// completed it with that same call; a ticket that has won a prize has it already, however it
// is typed again. A ticket typed in part is Valid or Late only where the numbers typed prove
// it, whatever its numbers not typed may be; otherwise Cannot tell.
std::vector<Verdict> checkClaim(const ClaimTicket &ticket, prizes::Set inPlay, const std::vector<Call> &calls,
                                const std::vector<Win> &wins, int at = 0);

// Accepting the claim would record a win: some verdict is Valid.
bool acceptable(const std::vector<Verdict> &verdicts);
// Whether the host pays, in one line: "Pay: Top Line (valid)", or "Nothing to pay: …" with
// the reason that decides it.
QString payLine(const std::vector<Verdict> &verdicts);
// The verdicts as the window lists them: the pay line, then those that decide the claim
// first (valid, late, already won, not complete, cannot tell), and one line for each reason
// it cannot tell.
QStringList verdictLines(const std::vector<Verdict> &verdicts);
// The pay line for a screen reader, heard first and in a dozen words at most: "Pay Top
// Line.", or "Do not pay, Top Line late since call 54." with the one reason that decides
// it (past two prizes refused, how many). Every prize to pay is named. The rest is in the
// window's list of verdicts.
QString spokenVerdicts(const std::vector<Verdict> &verdicts);
