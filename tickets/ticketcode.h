#pragma once

#include "ticket.h"

#include <QString>

#include <cstdint>

// The code printed on a ticket, which alone gives back the ticket: a book part (3
// characters), a serial within the book (4) and a check character, written "K7Q-2A4F-X".
// Its 29 characters leave out those that read alike (0 and O, 1 and I and L, 5 and S).
// The check character catches any one character mistyped and any two neighbours swapped.
struct TicketCode
{
    static constexpr std::uint32_t Books = 29 * 29 * 29;        // 24,389
    static constexpr std::uint32_t Serials = 29 * 29 * 29 * 29; // 707,281 tickets a book

    std::uint32_t book = 0;
    std::uint32_t serial = 0; // strip serial / 6, ticket serial % 6 within it

    QString text() const;
    // A book alone, as its three characters: "K7Q".
    static QString bookText(std::uint32_t book);
    static bool parseBook(const QString &text, std::uint32_t &book);
    // Reads a code as a host types it: any case, with or without the dashes and spaces.
    static bool parse(const QString &typed, TicketCode &code, QString &why);

    std::uint32_t strip() const { return serial / TicketsPerStrip; }
    Ticket ticket() const { return makeStrip(book, strip())[serial % TicketsPerStrip]; }
    bool operator==(const TicketCode &other) const { return book == other.book && serial == other.serial; }
};
