#include "ticket.h"

#include <algorithm>
#include <vector>

// The book's generator. It is fixed for good: a change would change every ticket already
// printed, so golden strips pin it in the tests.
//
// Stream: SplitMix64 seeded with (book << 32) | strip.
//   next():   state += 0x9E3779B97F4A7C15; z = state;
//             z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9; z = (z ^ (z >> 27)) * 0x94D049BB133111EB;
//             return z ^ (z >> 31)                                 (all arithmetic mod 2^64)
//   below(n): x = next() until x < 2^64 - (2^64 mod n); return x mod n      (no modulo bias)
//
// Steps, each drawing from the one stream in the order given:
// 1. How many numbers each ticket has in each column. Every ticket starts with one in every
//    column; the 36 numbers left (3 in column 1, 4 in columns 2 to 8, 5 in column 9) are
//    listed column by column, the list is shuffled (Fisher-Yates from the end: the entry at
//    i, for i from 35 down to 1, swaps with the one at below(i + 1)), and each in turn goes
//    to the ticket at below(k) among the k tickets (in order 0 to 5) that have fewer than 15
//    numbers and fewer than 3 in that column. When no ticket can take one, step 1 begins
//    again.
// 2. Each ticket in order, its rows: column by column, three numbers fill every row; two
//    leave out the row below(3); one takes the row below(3). Unless every row then holds
//    five numbers, the ticket's step 2 begins again.
// 3. Each column in order: its numbers, ascending, are shuffled as in step 1 and dealt to
//    the tickets in order, each taking as many as it has in the column; a ticket's share,
//    sorted, fills its cells of that column from the top.
//
// Every strip the rules allow can come out of these steps, and the tickets, the rows and
// the numbers are drawn alike, so no number favours a ticket and no row is favoured.

namespace {
class Stream
{
public:
    explicit Stream(std::uint64_t seed) : state(seed) {}

    std::uint64_t next()
    {
        state += 0x9E3779B97F4A7C15ULL;
        std::uint64_t z = state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    std::uint32_t below(std::uint32_t n)
    {
        // 2^64 mod n, computed without 2^64: (2^64 - n) mod n.
        const std::uint64_t skip = (0 - std::uint64_t(n)) % n;
        std::uint64_t x = next();
        while (x > ~std::uint64_t(0) - skip)
            x = next();
        return std::uint32_t(x % n);
    }

    template<typename T> void shuffle(std::vector<T> &list)
    {
        for (std::size_t i = list.size() - 1; i >= 1; --i)
            std::swap(list[i], list[below(std::uint32_t(i + 1))]);
    }

private:
    std::uint64_t state;
};

constexpr int Tickets = TicketsPerStrip;
// Each step begins again only when the draws leave it stuck, a few times at most: a step
// that never settles is a fault of the generator, said at once instead of hanging.
constexpr int MaxAttempts = 100000;

[[noreturn]] void unsettled(const char *step)
{
    qFatal("the ticket generator's %s did not settle in %d attempts", step, MaxAttempts);
}
using Counts = std::array<std::array<int, Ticket::Columns>, Tickets>;

int columnSize(int column)
{
    return column == 0 ? 9 : column == 8 ? 11 : 10;
}

Counts columnCounts(Stream &stream)
{
    for (int attempt = 0; attempt < MaxAttempts; ++attempt) {
        Counts counts{};
        std::array<int, Tickets> totals{};
        for (auto &ticket : counts)
            ticket.fill(1);
        totals.fill(Ticket::Columns);
        std::vector<int> extras;
        for (int column = 0; column < Ticket::Columns; ++column)
            extras.insert(extras.end(), std::size_t(columnSize(column) - Tickets), column);
        stream.shuffle(extras);
        bool stuck = false;
        for (int column : extras) {
            std::vector<int> open;
            for (int t = 0; t < Tickets; ++t) {
                if (totals[t] < Ticket::Numbers && counts[t][column] < Ticket::Rows)
                    open.push_back(t);
            }
            if (open.empty()) {
                stuck = true;
                break;
            }
            const int t = open[stream.below(std::uint32_t(open.size()))];
            ++counts[t][column];
            ++totals[t];
        }
        if (!stuck)
            return counts;
    }
    unsettled("column counts");
}

// Which rows of each column hold a number, for one ticket's counts.
std::array<std::array<bool, Ticket::Columns>, Ticket::Rows> rowsFor(const std::array<int, Ticket::Columns> &counts,
                                                                   Stream &stream)
{
    for (int attempt = 0; attempt < MaxAttempts; ++attempt) {
        std::array<std::array<bool, Ticket::Columns>, Ticket::Rows> filled{};
        std::array<int, Ticket::Rows> perRow{};
        for (int column = 0; column < Ticket::Columns; ++column) {
            const int count = counts[column];
            const int chosen = count == 3 ? -1 : int(stream.below(3));
            for (int row = 0; row < Ticket::Rows; ++row) {
                const bool on = count == 3 || (count == 2 ? row != chosen : row == chosen);
                filled[row][column] = on;
                perRow[row] += on ? 1 : 0;
            }
        }
        if (perRow == std::array<int, Ticket::Rows>{5, 5, 5})
            return filled;
    }
    unsettled("rows");
}
} // namespace

std::array<std::int16_t, Ticket::Numbers> Ticket::numbers() const
{
    std::array<std::int16_t, Numbers> all{};
    std::size_t k = 0;
    for (const auto &row : cells) {
        for (std::int16_t n : row) {
            if (n != 0 && k < all.size())
                all[k++] = n;
        }
    }
    return all;
}

bool ticketRulesKept(const Ticket &ticket, QString *why)
{
    auto broken = [why](const QString &reason) {
        if (why)
            *why = reason;
        return false;
    };
    for (int row = 0; row < Ticket::Rows; ++row) {
        int count = 0;
        for (int column = 0; column < Ticket::Columns; ++column) {
            const int n = ticket.cells[row][column];
            if (n == 0)
                continue;
            ++count;
            if (n < 1 || n > 90 || Ticket::columnOf(n) != column)
                return broken(QStringLiteral("%1 is not in its column").arg(n));
        }
        if (count != 5)
            return broken(QStringLiteral("row %1 holds %2 numbers, not 5").arg(row + 1).arg(count));
    }
    for (int column = 0; column < Ticket::Columns; ++column) {
        int last = 0;
        int count = 0;
        for (int row = 0; row < Ticket::Rows; ++row) {
            const int n = ticket.cells[row][column];
            if (n == 0)
                continue;
            ++count;
            if (n <= last)
                return broken(QStringLiteral("column %1 does not ascend").arg(column + 1));
            last = n;
        }
        if (count == 0)
            return broken(QStringLiteral("column %1 is empty").arg(column + 1));
    }
    return true;
}

Strip makeStrip(std::uint32_t book, std::uint32_t strip)
{
    Stream stream((std::uint64_t(book) << 32) | strip);
    const Counts counts = columnCounts(stream);
    std::array<std::array<std::array<bool, Ticket::Columns>, Ticket::Rows>, Tickets> layouts;
    for (int t = 0; t < Tickets; ++t)
        layouts[t] = rowsFor(counts[t], stream);

    Strip tickets{};
    for (int column = 0; column < Ticket::Columns; ++column) {
        std::vector<std::int16_t> numbers;
        const int first = column == 0 ? 1 : column * 10;
        for (int n = first; n < first + columnSize(column); ++n)
            numbers.push_back(std::int16_t(n));
        stream.shuffle(numbers);
        auto next = numbers.begin();
        for (int t = 0; t < Tickets; ++t) {
            std::vector<std::int16_t> share(next, next + counts[t][column]);
            next += counts[t][column];
            std::sort(share.begin(), share.end());
            auto take = share.begin();
            for (int row = 0; row < Ticket::Rows; ++row) {
                if (layouts[t][row][column])
                    tickets[t].cells[row][column] = *take++;
            }
        }
    }
    return tickets;
}
