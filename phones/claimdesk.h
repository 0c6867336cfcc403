#pragma once

#include "books.h"
#include "gamerecord.h"
#include "prize.h"

#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <vector>

struct Verdict;

// A claim a phone sent: a ticket of ours, the prize the player says it completes, the call
// it was made at and the game it was made in. It only waits for the host, who decides.
struct PhoneClaim
{
    QString code;      // as printed: "8QB-2222-V"
    Prize prize = Prize::FullHouse;
    int call = 0;      // the call it was made at: judged as of this call
    qint64 game = 0;   // the game's identity when it was made
    QString address;   // the phone's address on the hall's network
    qint64 time = 0;   // milliseconds since 1970, UTC
};
Q_DECLARE_METATYPE(PhoneClaim)

// What a phone may claim, judged on the server's thread before anything reaches the host: a
// code a book in play printed, a prize of this game, at most one claim per ticket per call,
// a few per phone (its address) a minute, and only a claim the rules may pay: the game's own
// judge refuses at once what is late, not complete or won already. Anything else is answered
// with a 4xx status and goes no further. Nothing here can accept a claim.
class ClaimDesk
{
public:
    static constexpr int PerPhone = 3;          // claims a phone may send ...
    static constexpr qint64 PerPhoneMs = 60000; // ... in this long
    static constexpr int MaxMessage = 200;      // a claim is far shorter
    // A claim made at the call before reaches the caller a moment after the next call, the
    // phone not yet showing it: within this long, it is judged at the call it was made at.
    static constexpr qint64 CrossingMs = 1000;
    static constexpr std::size_t MaxHeld = 12;      // tickets a page holds
    static constexpr std::size_t MaxKept = 1000;    // verdicts kept for pages coming back, a game
    static constexpr std::size_t KeptPerTicket = 8; // ... and a ticket
    static constexpr std::size_t MaxPhonesCounted = 4096; // addresses whose claims are counted
    // What a page with tickets sends once on each channel, for booksMessage().
    static constexpr const char *BooksAsked = "{\"books\":\"?\"}";

    struct Answer
    {
        int status = 400; // 202: waiting for the host
        QString why;      // for a refusal, in the player's words
        QString verdict;  // for a claim the judge refused: its verdict, in the player's words
        PhoneClaim claim;
        QByteArray text() const; // the answer as the page reads it
    };

    // The books this caller printed: claims come only from their tickets.
    void setBooks(const std::vector<BookList::Book> &books);
    // The game as the phones see it (the board's snapshot), as published at now.
    void follow(const QByteArray &snapshot, qint64 now);
    // Whether a message is meant as a claim (the page sends nothing else worth reading).
    static bool isClaim(const QByteArray &message);
    // Judges a phone's claim, received from address at now (milliseconds since 1970, UTC).
    Answer admit(const QString &address, const QByteArray &message, qint64 now);

    // The tickets a page says it holds: {"hold":["8QB-2222-V",...]}, each as printed, at most
    // MaxHeld; false for anything else.
    static bool heldTickets(const QByteArray &message, std::vector<QString> &codes);
    // A verdict for a ticket, kept for this game so that a page holding it gets it when it
    // comes back; the verdicts kept for a ticket, oldest first.
    void keepVerdict(const QString &code, const QByteArray &message);
    std::vector<QByteArray> verdictsFor(const QString &code) const;

    // The books as the page reads them: {"books":["8QB",...]}.
    QByteArray booksMessage() const;

private:
    std::vector<BookList::Book> books;
    qint64 game = 0;
    std::vector<Call> calls;
    qint64 lastCallAt = 0;     // when the last call was published
    prizes::Set inPlay = 0;
    std::vector<Win> wins;
    std::set<std::pair<int, QString>> claimed;          // (call, code), for the last two calls
    std::map<QString, std::deque<qint64>> recent;       // each address's latest claims
    std::map<QString, std::deque<QByteArray>> kept;     // verdicts by ticket, this game
    std::deque<QString> keptOrder;                      // ... the ticket of each, oldest first
};

// A verdict on a phone's claim, in the player's words: "Valid: Top Line is yours", "Late",
// "Not complete", "Already won", ... accepted: the host accepted the claim's ticket.
QString phoneVerdict(Prize claimed, const std::vector<Verdict> &verdicts, bool accepted);
