#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

// The prizes a game can play, in the order a host reads them.
enum class Prize : std::uint8_t {
    EarlyFive,   // any five of the ticket's numbers
    TopLine,     // the five numbers of the top row
    MiddleLine,
    BottomLine,
    FourCorners, // the first and last numbers of the top and bottom rows
    OneLine,     // any row
    TwoLines,    // any two rows
    FullHouse,   // all fifteen
    SecondFullHouse,
    ThirdFullHouse,
};
constexpr int PrizeCount = 10;

namespace prizes {
using Set = std::uint16_t; // one bit a prize, bit i for Prize(i)

constexpr Set bit(Prize prize) { return Set(1u << unsigned(prize)); }
constexpr Set Tambola = bit(Prize::EarlyFive) | bit(Prize::TopLine) | bit(Prize::MiddleLine)
    | bit(Prize::BottomLine) | bit(Prize::FourCorners) | bit(Prize::FullHouse);
constexpr Set NinetyBall = bit(Prize::OneLine) | bit(Prize::TwoLines) | bit(Prize::FullHouse);

// The sets a host chooses from, as the Prizes window groups them.
enum class Family { Tambola, NinetyBall, FullHouses };
Family familyOf(Prize prize);

// The full houses are one claim: a ticket takes the first still to win, and one only.
constexpr bool isFullHouse(Prize prize)
{
    return prize == Prize::FullHouse || prize == Prize::SecondFullHouse || prize == Prize::ThirdFullHouse;
}

QString name(Prize prize);       // "Early Five"
QString key(Prize prize);        // "early-five", as the record writes it
bool fromKey(const QByteArray &key, Prize &prize);
} // namespace prizes

// A prize won: by which ticket, at which call (position and number) and when.
struct Win
{
    Prize prize = Prize::FullHouse;
    QString ticket; // the ticket's code, or "typed:4,17,23" for a ticket from elsewhere
    int position = 0;
    std::int16_t number = 0;
    qint64 time = 0;
    bool unlistedBook = false; // a code from a book this caller had not printed, accepted anyway

    bool operator==(const Win &other) const
    {
        return prize == other.prize && ticket == other.ticket && position == other.position
            && number == other.number && time == other.time && unlistedBook == other.unlistedBook;
    }
};

