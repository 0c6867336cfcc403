#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <vector>

// Game → Deal Tickets: a new book made for the players named (or counted), put in the books in
// play marked as dealt, its tickets handed out in order, so many each. What each player gets
// is a link; the list goes to a chat group as text or as CSV.
struct TicketDeal
{
    static constexpr int MaxPlayers = 500;
    static constexpr int MaxEach = 6;
    static constexpr int MaxName = 60;

    struct Hand
    {
        QString name;
        QStringList codes; // as printed: "8QB-2222-V"
        QString link;
    };
    std::uint32_t book = 0;
    int strips = 0;
    std::vector<Hand> hands;

    // The players as the host typed them: one name a line, or a single number of players
    // ("Player 1" ...). Empty lines are skipped; false, with why, for none or too many.
    static bool players(const QString &typed, QStringList &names, QString &why);
    // Deals a new book into the books in play of folder; false, with why, when the list cannot
    // be kept (then nothing is dealt). random(n) returns 0 to n - 1.
    static bool deal(const QStringList &names, int each, const QString &folder,
                     const std::function<std::uint32_t(std::uint32_t)> &random, TicketDeal &out, QString &why);

    // "Name: link" a line, to paste into a chat group.
    QString text() const;
    // name,tickets,link with a header line; fields quoted where needed.
    QString csv() const;
};
