#pragma once

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

// A claim a phone sent: a ticket of ours, the prize the player says it completes, and the
// call it came at. It only waits for the host: whether it wins is the host's to check.
struct PhoneClaim
{
    QString code;      // as printed: "8QB-2222-V"
    Prize prize = Prize::FullHouse;
    int call = 0;      // the calls made when it came
    quint64 phone = 0; // the push channel it came on, for the verdict
    qint64 time = 0;   // milliseconds since 1970, UTC
};
Q_DECLARE_METATYPE(PhoneClaim)

// What a phone may claim, judged on the server's thread before anything reaches the host:
// a code of a book in play, a prize still to win (or won at this very call, to be shared),
// at most one claim per ticket per call, and a few per phone per minute. Anything else is
// answered with a 4xx status and goes no further. Nothing here can accept a claim.
class ClaimDesk
{
public:
    static constexpr int PerPhone = 3;          // claims a phone may send ...
    static constexpr qint64 PerPhoneMs = 60000; // ... in this long
    static constexpr int MaxMessage = 200;      // a claim is far shorter
    // What a page with tickets sends once on each channel, for booksMessage().
    static constexpr const char *BooksAsked = "{\"books\":\"?\"}";

    struct Answer
    {
        int status = 400; // 202: waiting for the host
        QString why;      // for a refusal, in the player's words
        PhoneClaim claim;
        QByteArray text() const; // the answer as the page reads it
    };

    // The books this caller printed: claims come only from these.
    void setBooks(const std::vector<std::uint32_t> &books);
    // The game as the phones see it (the board's snapshot): the calls and the prizes.
    void follow(const QByteArray &snapshot);
    // Whether a message is meant as a claim (the page sends nothing else worth reading).
    static bool isClaim(const QByteArray &message);
    // Judges a phone's claim, received at now (milliseconds since 1970, UTC).
    Answer admit(quint64 phone, const QByteArray &message, qint64 now);
    // A phone that left: its count goes with it.
    void forget(quint64 phone);

    // The books as the page reads them: {"books":["8QB",...]}.
    QByteArray booksMessage() const;

private:
    std::set<std::uint32_t> books;
    int calls = 0;
    QStringList toWin;
    std::vector<std::pair<QString, int>> winners; // prize name, call
    std::set<QString> claimedThisCall;              // codes, cleared at each call
    std::map<quint64, std::deque<qint64>> recent;   // each phone's latest claims
};

// A verdict the host gave on a phone's claim, in the player's words: "Valid: Top Line is
// yours", "Late", "Not complete", ... accepted: the host accepted the claim's ticket.
struct Verdict;
QString phoneVerdict(Prize claimed, const std::vector<Verdict> &verdicts, bool accepted);
