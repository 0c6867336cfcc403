#pragma once

#include <QString>

#include <array>
#include <cstdint>

// One ticket: 3 rows by 9 columns, 0 where a cell is empty. Column 1 holds 1 to 9, column
// 2 10 to 19, ..., column 9 80 to 90; five numbers a row; at least one number a column;
// numbers ascend down a column.
struct Ticket
{
    static constexpr int Rows = 3;
    static constexpr int Columns = 9;
    static constexpr int Numbers = 15;

    std::array<std::array<std::int16_t, Columns>, Rows> cells{};

    // The column a number belongs in, 0 to 8.
    static int columnOf(int n) { return n >= 90 ? 8 : n / 10; }
    // Its numbers, top row first, left to right.
    std::array<std::int16_t, Numbers> numbers() const;
    bool operator==(const Ticket &other) const { return cells == other.cells; }
};

// Six tickets holding each number 1 to 90 once.
constexpr int TicketsPerStrip = 6;
using Strip = std::array<Ticket, TicketsPerStrip>;
// The most strips one print run makes: 3,000 tickets.
constexpr int MaxPrintedStrips = 500;
// The paper a book is printed on.
enum class Paper { A4, Letter };

// Whether a ticket keeps every rule of a ticket; if not, why, in a few words.
bool ticketRulesKept(const Ticket &ticket, QString *why = nullptr);

// The strip a book's generator makes for strip number `strip` (0 first) of book `book`.
// The same book and strip give the same tickets on any machine and in every version.
Strip makeStrip(std::uint32_t book, std::uint32_t strip);
