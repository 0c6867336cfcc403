#include "claims.h"

#include "ticketcode.h"

#include <QRegularExpression>

#include <algorithm>
#include <array>

namespace {
constexpr int NotYet = 1 << 20; // a completion that has not happened

bool isFullHouse(Prize prize)
{
    return prize == Prize::FullHouse || prize == Prize::SecondFullHouse || prize == Prize::ThirdFullHouse;
}

// When a set of numbers was all called: the last of their positions, or NotYet.
struct Completion
{
    int at = NotYet;
    std::vector<std::int16_t> missing;
};

Completion allOf(const std::vector<std::int16_t> &numbers, const std::array<int, 91> &calledAt)
{
    Completion done;
    int last = 0;
    for (std::int16_t n : numbers) {
        if (calledAt[n] == 0)
            done.missing.push_back(n);
        else
            last = std::max(last, calledAt[n]);
    }
    if (done.missing.empty() && !numbers.empty())
        done.at = last;
    return done;
}

// The k-th completion among several rows (k = 1: any row, k = 2: any two).
Completion rowsOf(const std::vector<std::vector<std::int16_t>> &rows, std::size_t k,
                  const std::array<int, 91> &calledAt)
{
    std::vector<Completion> each;
    for (const auto &row : rows)
        each.push_back(allOf(row, calledAt));
    // Complete rows first, earliest first; then the rows closest to complete.
    std::sort(each.begin(), each.end(), [](const Completion &a, const Completion &b) {
        return a.at != b.at ? a.at < b.at : a.missing.size() < b.missing.size();
    });
    Completion done;
    for (std::size_t i = 0; i < k && i < each.size(); ++i) {
        done.at = each[i].at;
        done.missing.insert(done.missing.end(), each[i].missing.begin(), each[i].missing.end());
    }
    if (!done.missing.empty())
        done.at = NotYet;
    return done;
}

QString joined(const std::vector<std::int16_t> &numbers)
{
    QStringList words;
    for (std::int16_t n : numbers)
        words << QString::number(n);
    return words.join(QStringLiteral(", "));
}
} // namespace

ClaimTicket ClaimTicket::of(const QString &code, const Ticket &ticket)
{
    ClaimTicket claim;
    claim.label = code;
    for (const auto &row : ticket.cells) {
        std::vector<std::int16_t> numbers;
        for (std::int16_t n : row) {
            if (n != 0)
                numbers.push_back(n);
        }
        claim.numbers.insert(claim.numbers.end(), numbers.begin(), numbers.end());
        claim.rows.push_back(numbers);
    }
    return claim;
}

bool ClaimTicket::read(const QString &typed, ClaimTicket &ticket, QString &why)
{
    const QString text = typed.trimmed();
    if (text.isEmpty()) {
        why = QStringLiteral("Type the ticket's code, or its numbers.");
        return false;
    }
    if (text.contains(QRegularExpression(QStringLiteral("[A-Za-z]")))) {
        TicketCode code;
        QString problem;
        if (!TicketCode::parse(text, code, problem)) {
            why = QStringLiteral("Not one of our ticket codes: %1.").arg(problem);
            return false;
        }
        ticket = of(code.text(), code.ticket());
        return true;
    }

    ClaimTicket read;
    const QStringList groups = text.split(QLatin1Char('/'));
    std::array<bool, 91> seen{};
    std::array<int, Ticket::Columns> perColumn{};
    for (const QString &group : groups) {
        std::vector<std::int16_t> row;
        for (const QString &word : group.split(QRegularExpression(QStringLiteral("[\\s,;]+")), Qt::SkipEmptyParts)) {
            bool number = false;
            const int n = word.toInt(&number);
            if (!number || n < 1 || n > 90) {
                why = QStringLiteral("'%1' is not a number from 1 to 90.").arg(word);
                return false;
            }
            if (seen[n]) {
                why = QStringLiteral("%1 is typed twice.").arg(n);
                return false;
            }
            seen[n] = true;
            row.push_back(std::int16_t(n));
            if (++perColumn[Ticket::columnOf(n)] > Ticket::Rows) {
                why = QStringLiteral("Not a ticket: more than three numbers from %1 to %2.")
                          .arg(Ticket::columnOf(n) == 0 ? 1 : Ticket::columnOf(n) * 10)
                          .arg(Ticket::columnOf(n) == 8 ? 90 : Ticket::columnOf(n) * 10 + 9);
                return false;
            }
        }
        read.numbers.insert(read.numbers.end(), row.begin(), row.end());
        read.rows.push_back(row);
    }
    if (read.numbers.size() > std::size_t(Ticket::Numbers)) {
        why = QStringLiteral("A ticket holds fifteen numbers; %1 were typed.").arg(read.numbers.size());
        return false;
    }
    if (groups.size() == 1) {
        read.rows.clear();
    } else {
        Ticket cells;
        for (std::size_t r = 0; r < read.rows.size() && r < std::size_t(Ticket::Rows); ++r) {
            for (std::int16_t n : read.rows[r]) {
                std::int16_t &cell = cells.cells[r][Ticket::columnOf(n)];
                if (cell != 0) {
                    why = QStringLiteral("Not a ticket: %1 and %2 share a column in row %3.").arg(cell).arg(n).arg(r + 1);
                    return false;
                }
                cell = n;
            }
        }
        QString broken;
        if (read.rows.size() != std::size_t(Ticket::Rows) || read.numbers.size() != std::size_t(Ticket::Numbers)) {
            why = QStringLiteral("Row by row, a ticket is three rows of five numbers with / between them.");
            return false;
        }
        if (!ticketRulesKept(cells, &broken)) {
            why = QStringLiteral("Not a ticket: %1.").arg(broken);
            return false;
        }
        for (auto &row : read.rows)
            std::sort(row.begin(), row.end());
    }
    std::vector<std::int16_t> sorted = read.numbers;
    std::sort(sorted.begin(), sorted.end());
    QStringList words;
    for (std::int16_t n : sorted)
        words << QString::number(n);
    read.label = QStringLiteral("typed:") + words.join(QLatin1Char(','));
    ticket = std::move(read);
    return true;
}

QString Verdict::text() const
{
    const QString prize = prizes::name(this->prize);
    switch (kind) {
    case Valid:
        return shared ? QStringLiteral("%1: Valid, shared with %2, who completed it at the same call")
                            .arg(prize, winner.ticket)
                      : QStringLiteral("%1: Valid").arg(prize);
    case Late:
        return QStringLiteral("%1: Late, complete since call %2 (number %3)").arg(prize).arg(completedAt).arg(completedBy);
    case NotComplete:
        if (this->prize == Prize::EarlyFive)
            return QStringLiteral("%1: Not complete, %2 more of its numbers to come").arg(prize).arg(missing.size());
        return QStringLiteral("%1: Not complete, missing %2").arg(prize, joined(missing));
    case AlreadyWon:
        return QStringLiteral("%1: Already won by %2 at call %3 (number %4)")
            .arg(prize, winner.ticket)
            .arg(winner.position)
            .arg(winner.number);
    case CannotTell:
        return QStringLiteral("%1: Cannot tell, %2").arg(prize, why);
    }
    return prize;
}

std::vector<Verdict> checkClaim(const ClaimTicket &ticket, prizes::Set inPlay, const std::vector<Call> &calls,
                                const std::vector<Win> &wins)
{
    std::array<int, 91> calledAt{};
    for (const Call &call : calls)
        calledAt[call.number] = call.position;
    const int last = calls.empty() ? 0 : calls.back().position;
    const bool rowsKnown = ticket.rows.size() == std::size_t(Ticket::Rows);
    const bool whole = ticket.numbers.size() == std::size_t(Ticket::Numbers);

    auto wonBy = [&wins](Prize prize) -> const Win * {
        for (const Win &win : wins) {
            if (win.prize == prize)
                return &win;
        }
        return nullptr;
    };
    auto complete = [&](Prize prize) -> Completion {
        switch (prize) {
        case Prize::EarlyFive: {
            std::vector<int> at;
            for (std::int16_t n : ticket.numbers) {
                if (calledAt[n] != 0)
                    at.push_back(calledAt[n]);
            }
            std::sort(at.begin(), at.end());
            Completion done;
            if (at.size() >= 5)
                done.at = at[4];
            else
                done.missing.resize(5 - at.size());
            return done;
        }
        case Prize::TopLine:
        case Prize::MiddleLine:
        case Prize::BottomLine:
            return allOf(ticket.rows[std::size_t(int(prize) - int(Prize::TopLine))], calledAt);
        case Prize::FourCorners:
            return allOf({ticket.rows[0].front(), ticket.rows[0].back(), ticket.rows[2].front(), ticket.rows[2].back()},
                         calledAt);
        case Prize::OneLine:
            return rowsOf(ticket.rows, 1, calledAt);
        case Prize::TwoLines:
            return rowsOf(ticket.rows, 2, calledAt);
        default:
            return allOf(ticket.numbers, calledAt);
        }
    };

    std::vector<Verdict> verdicts;
    bool fullHouseDone = false;
    for (int i = 0; i < PrizeCount; ++i) {
        const Prize prize = Prize(i);
        if (!(inPlay & prizes::bit(prize)))
            continue;
        Verdict verdict;
        verdict.prize = prize;
        const bool needsRows = prize != Prize::EarlyFive && !isFullHouse(prize);
        if (isFullHouse(prize) && fullHouseDone)
            continue; // the full houses are judged as one: the first still to win
        if (needsRows && !rowsKnown) {
            verdict.kind = Verdict::CannotTell;
            verdict.why = QStringLiteral("the rows were not typed (type them with / between the rows)");
            verdicts.push_back(verdict);
            continue;
        }
        if (isFullHouse(prize) && !whole) {
            verdict.kind = Verdict::CannotTell;
            verdict.why = QStringLiteral("only %1 of the ticket's fifteen numbers were typed").arg(ticket.numbers.size());
            verdicts.push_back(verdict);
            fullHouseDone = true;
            continue;
        }
        if (prize == Prize::EarlyFive && ticket.numbers.size() < 5) {
            verdict.kind = Verdict::CannotTell;
            verdict.why = QStringLiteral("fewer than five numbers were typed");
            verdicts.push_back(verdict);
            continue;
        }
        const Completion done = complete(prize);
        const Win *win = wonBy(prize);
        if (win && isFullHouse(prize)) {
            // A later full house in play that is still to win takes this claim.
            bool later = false;
            for (int j = i + 1; j <= int(Prize::ThirdFullHouse); ++j)
                later = later || ((inPlay & prizes::bit(Prize(j))) && !wonBy(Prize(j)));
            const bool sharing = win->position == last && done.at == last && win->ticket != ticket.label;
            if (later && !sharing)
                continue;
        }
        fullHouseDone = fullHouseDone || isFullHouse(prize);
        if (win) {
            if (win->position == last && done.at == last && win->ticket != ticket.label) {
                verdict.kind = Verdict::Valid;
                verdict.shared = true;
                verdict.completedAt = last;
                verdict.completedBy = calls.back().number;
            } else {
                verdict.kind = Verdict::AlreadyWon;
            }
            verdict.winner = *win;
        } else if (done.at == NotYet) {
            verdict.kind = Verdict::NotComplete;
            verdict.missing = done.missing;
        } else {
            verdict.kind = done.at == last ? Verdict::Valid : Verdict::Late;
            verdict.completedAt = done.at;
            verdict.completedBy = calls[std::size_t(done.at - 1)].number;
        }
        verdicts.push_back(verdict);
    }
    return verdicts;
}
