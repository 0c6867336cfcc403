#include "claims.h"

#include "ticketcode.h"

#include <QRegularExpression>

#include <algorithm>
#include <array>
#include <map>

namespace {
constexpr int NotYet = 1 << 20; // a completion that has not happened
const QLatin1String TypedPrefix("typed:");

using prizes::isFullHouse;

// "1 to 9", "10 to 19", ..., "80 to 90": the numbers of a ticket's column.
QString columnRange(int column)
{
    return QStringLiteral("%1 to %2").arg(column == 0 ? 1 : column * 10).arg(column == 8 ? 90 : column * 10 + 9);
}

// What the host typed is a code by its form alone: three characters, four and one, split
// by dashes or spaces, or the eight together. A run of four characters is never a number
// from 1 to 90, and neither are eight, so a code made only of digits is still read as one.
bool looksLikeCode(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^(?:[0-9A-Za-z]{3}[-\\s]+[0-9A-Za-z]{4}[-\\s]+[0-9A-Za-z]|"
                                                        "[0-9A-Za-z]{8})$"));
    static const QRegularExpression letter(QStringLiteral("[A-Za-z]"));
    return form.match(text).hasMatch() || text.contains(letter);
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

// "Top Line", "Top Line and Middle Line", "Top Line, Middle Line and Bottom Line".
QString names(const std::vector<Prize> &list, const QString &last)
{
    QStringList words;
    for (Prize prize : list)
        words << prizes::name(prize);
    if (words.size() < 2)
        return words.join(QString());
    const QString tail = words.takeLast();
    return words.join(QStringLiteral(", ")) + QLatin1Char(' ') + last + QLatin1Char(' ') + tail;
}

QString reasonText(const Verdict &verdict)
{
    switch (verdict.reason) {
    case Verdict::RowsNotTyped:
        return QStringLiteral("the rows were not typed (type them with / between the rows)");
    case Verdict::NotWhole:
        return QStringLiteral("only %1 of the ticket's fifteen numbers were typed (type the other %2)")
            .arg(verdict.typed)
            .arg(Ticket::Numbers - verdict.typed);
    case Verdict::LikeAWinner:
        return QStringLiteral("every number typed is on %1, which won it at call %2; type the whole ticket")
            .arg(ticketName(verdict.winner.ticket))
            .arg(verdict.winner.position);
    case Verdict::HoldsAWinner:
        return QStringLiteral("every number of %1, which won it at call %2, is on this ticket: it may be this "
                              "ticket typed in part")
            .arg(ticketName(verdict.winner.ticket))
            .arg(verdict.winner.position);
    }
    return QString();
}

// "A", "A and B", "A, B and C": the tickets that share a prize.
QString ticketNames(const std::vector<Win> &wins)
{
    QStringList words;
    for (const Win &win : wins)
        words << ticketName(win.ticket);
    if (words.size() < 2)
        return words.join(QString());
    const QString tail = words.takeLast();
    return words.join(QStringLiteral(", ")) + QStringLiteral(" and ") + tail;
}

// The verdicts in the host's order: by kind, then by prize; stable for equal ones.
std::vector<Verdict> inHostOrder(std::vector<Verdict> verdicts)
{
    std::stable_sort(verdicts.begin(), verdicts.end(),
                     [](const Verdict &a, const Verdict &b) { return a.kind < b.kind; });
    return verdicts;
}

// The "cannot tell" verdicts gathered by what they say, in the order they first come.
std::vector<std::pair<Verdict, std::vector<Prize>>> cannotTell(const std::vector<Verdict> &verdicts,
                                                               QString (*says)(const Verdict &))
{
    std::vector<std::pair<Verdict, std::vector<Prize>>> groups;
    for (const Verdict &verdict : verdicts) {
        if (verdict.kind != Verdict::CannotTell)
            continue;
        auto same = std::find_if(groups.begin(), groups.end(),
                                 [&](const auto &group) { return says(group.first) == says(verdict); });
        if (same == groups.end())
            groups.push_back({verdict, {verdict.prize}});
        else
            same->second.push_back(verdict.prize);
    }
    return groups;
}
} // namespace

ClaimTicket ClaimTicket::of(const TicketCode &code)
{
    ClaimTicket claim;
    claim.label = code.text();
    claim.fromCode = true;
    claim.book = code.book;
    claim.serial = code.serial;
    for (const auto &row : code.ticket().cells) {
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

QString ClaimTicket::typedLabel(std::vector<std::int16_t> numbers)
{
    std::sort(numbers.begin(), numbers.end());
    QStringList words;
    for (std::int16_t n : numbers)
        words << QString::number(n);
    return TypedPrefix + words.join(QLatin1Char(','));
}

bool ClaimTicket::isTypedLabel(const QString &label)
{
    return label.startsWith(TypedPrefix);
}

bool ClaimTicket::fromLabel(const QString &label, ClaimTicket &ticket)
{
    if (label.size() > MaxTypedLength)
        return false;
    if (!isTypedLabel(label)) {
        TicketCode code;
        QString why;
        if (!TicketCode::parse(label, code, why))
            return false;
        ticket = of(code);
        return true;
    }
    ClaimTicket read;
    std::array<bool, 91> seen{};
    for (const QString &word : label.mid(TypedPrefix.size()).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool number = false;
        const int n = word.toInt(&number);
        if (!number || n < 1 || n > 90 || seen[std::size_t(n)] || read.numbers.size() == std::size_t(Ticket::Numbers))
            return false;
        seen[std::size_t(n)] = true;
        read.numbers.push_back(std::int16_t(n));
    }
    if (read.numbers.empty())
        return false;
    read.label = label;
    ticket = std::move(read);
    return true;
}

bool ClaimTicket::read(const QString &typed, ClaimTicket &ticket, QString &why)
{
    const QString text = typed.trimmed();
    if (text.size() > MaxTypedLength) {
        why = QStringLiteral("That is far longer than a ticket: type its code, or its fifteen numbers.");
        return false;
    }
    if (looksLikeCode(text)) {
        TicketCode code;
        QString problem;
        if (!TicketCode::parse(text, code, problem)) {
            why = QStringLiteral("Not one of our ticket codes: %1.").arg(problem);
            return false;
        }
        ticket = of(code);
        return true;
    }

    static const QRegularExpression separators(QStringLiteral("[\\s,;]+"));
    ClaimTicket read;
    const QStringList groups = text.split(QLatin1Char('/'));
    std::array<bool, 91> seen{};
    std::array<int, Ticket::Columns> perColumn{};
    for (const QString &group : groups) {
        std::vector<std::int16_t> row;
        for (const QString &word : group.split(separators, Qt::SkipEmptyParts)) {
            bool number = false;
            const int n = word.toInt(&number);
            if (!number || n < 1 || n > 90) {
                // Quoted short: a message never grows with what was pasted.
                const QString shown = word.size() > 12 ? word.left(10) + QStringLiteral("...") : word;
                why = QStringLiteral("'%1' is not a number from 1 to 90.").arg(shown);
                return false;
            }
            if (seen[std::size_t(n)]) {
                why = QStringLiteral("%1 is typed twice.").arg(n);
                return false;
            }
            seen[std::size_t(n)] = true;
            row.push_back(std::int16_t(n));
            if (++perColumn[std::size_t(Ticket::columnOf(n))] > Ticket::Rows) {
                why = QStringLiteral("Not a ticket: more than three numbers from %1.").arg(columnRange(Ticket::columnOf(n)));
                return false;
            }
        }
        read.numbers.insert(read.numbers.end(), row.begin(), row.end());
        read.rows.push_back(row);
    }
    if (read.numbers.empty()) {
        why = QStringLiteral("Type the ticket's code, or its numbers.");
        return false;
    }
    if (read.numbers.size() > std::size_t(Ticket::Numbers)) {
        why = QStringLiteral("A ticket holds fifteen numbers; %1 were typed.").arg(read.numbers.size());
        return false;
    }
    if (read.whole()) {
        for (int column = 0; column < Ticket::Columns; ++column) {
            if (perColumn[std::size_t(column)] == 0) {
                why = QStringLiteral("Not a ticket: none of its numbers is from %1.").arg(columnRange(column));
                return false;
            }
        }
    }
    if (groups.size() == 1) {
        read.rows.clear();
    } else {
        Ticket cells;
        for (std::size_t r = 0; r < read.rows.size() && r < std::size_t(Ticket::Rows); ++r) {
            for (std::int16_t n : read.rows[r]) {
                std::int16_t &cell = cells.cells[r][std::size_t(Ticket::columnOf(n))];
                if (cell != 0) {
                    why = QStringLiteral("Not a ticket: %1 and %2 share a column in row %3.").arg(cell).arg(n).arg(r + 1);
                    return false;
                }
                cell = n;
            }
        }
        QString broken;
        if (read.rows.size() != std::size_t(Ticket::Rows) || !read.whole()) {
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
    read.label = typedLabel(read.numbers);
    ticket = std::move(read);
    return true;
}

Sameness sameness(const ClaimTicket &a, const ClaimTicket &b)
{
    std::vector<std::int16_t> x = a.numbers;
    std::vector<std::int16_t> y = b.numbers;
    std::sort(x.begin(), x.end());
    std::sort(y.begin(), y.end());
    if (x == y)
        return Sameness::Same;
    if (a.whole() && b.whole())
        return Sameness::Different;
    if (x.size() > y.size())
        std::swap(x, y);
    return std::includes(y.begin(), y.end(), x.begin(), x.end()) ? Sameness::Indistinguishable
                                                                 : Sameness::Different;
}

QString ticketName(const QString &label)
{
    ClaimTicket ticket;
    if (!ClaimTicket::isTypedLabel(label) || !ClaimTicket::fromLabel(label, ticket))
        return label;
    std::sort(ticket.numbers.begin(), ticket.numbers.end());
    QStringList first;
    for (std::size_t i = 0; i < ticket.numbers.size() && i < 3; ++i)
        first << QString::number(ticket.numbers[i]);
    return QStringLiteral("typed ") + first.join(QLatin1Char(' '))
        + (ticket.numbers.size() > 3 ? QStringLiteral("…") : QString());
}

QString Verdict::text() const
{
    const QString prize = prizes::name(this->prize);
    switch (kind) {
    case Valid: {
        QString text = QStringLiteral("%1: Valid").arg(prize);
        if (!sharedWith.empty())
            text += QStringLiteral(", shared with %1, who completed it at the same call").arg(ticketNames(sharedWith));
        if (!paidAfter.empty())
            text += QStringLiteral(" (also accepted for %1 at call %2, after this claim)")
                        .arg(ticketNames(paidAfter))
                        .arg(paidAfter.front().position);
        return text;
    }
    case Late:
        return QStringLiteral("%1: Late, complete since call %2 (number %3)%4")
            .arg(prize)
            .arg(completedAt)
            .arg(completedBy)
            .arg(orEarlier ? QStringLiteral(" or earlier") : QString());
    case NotComplete:
        if (missing.empty())
            return QStringLiteral("%1: Not complete, %2%3 more of its numbers to come")
                .arg(prize, atLeast ? QStringLiteral("at least ") : QString())
                .arg(toCome);
        return QStringLiteral("%1: Not complete, missing %2%3")
            .arg(prize, atLeast ? QStringLiteral("at least ") : QString(), joined(missing));
    case AlreadyWon:
        return QStringLiteral("%1: Already won by %2 at call %3 (number %4)")
            .arg(prize, byThisTicket ? QStringLiteral("this ticket") : ticketName(winner.ticket))
            .arg(winner.position)
            .arg(winner.number);
    case CannotTell:
        return QStringLiteral("%1: Cannot tell, %2").arg(prize, reasonText(*this));
    }
    return prize;
}

std::vector<Verdict> checkClaim(const ClaimTicket &ticket, prizes::Set inPlay, const std::vector<Call> &allCalls,
                                const std::vector<Win> &wins, int at)
{
    // As of the claim's call: what came after it is not seen.
    const int last = at > 0 && std::size_t(at) < allCalls.size() ? at : int(allCalls.size());
    const std::vector<Call> calls(allCalls.begin(), allCalls.begin() + last);
    std::array<int, 91> calledAt{};
    for (const Call &call : calls)
        calledAt[std::size_t(call.number)] = call.position;
    const bool rowsKnown = ticket.rows.size() == std::size_t(Ticket::Rows);
    // The numbers a ticket typed in part leaves out: none of them is one typed.
    const int hidden = Ticket::Numbers - int(ticket.numbers.size());
    std::array<bool, 91> typed{};
    for (std::int16_t n : ticket.numbers)
        typed[std::size_t(n)] = true;

    // Which wins were this ticket's, by its numbers, whatever label it won under.
    std::vector<Sameness> mine;
    std::vector<bool> winnerLarger; // the winner's ticket holds more numbers than this one
    for (const Win &win : wins) {
        ClaimTicket winner;
        const bool known = ClaimTicket::fromLabel(win.ticket, winner);
        mine.push_back(known ? sameness(ticket, winner)
                       : win.ticket == ticket.label ? Sameness::Same
                                                    : Sameness::Different);
        winnerLarger.push_back(known && winner.numbers.size() > ticket.numbers.size());
    }
    // Another ticket's win counts if it came by the call judged: one made later was accepted
    // after this claim was made, and does not take the prize from it.
    auto counts = [&](std::size_t i) { return mine[i] == Sameness::Different && wins[i].position <= last; };
    // The earliest win of a prize by another ticket, and every win that shares its call.
    auto winsOf = [&](Prize prize) {
        std::vector<Win> first;
        for (std::size_t i = 0; i < wins.size(); ++i) {
            if (!counts(i) || wins[i].prize != prize)
                continue;
            if (first.empty() || wins[i].position < first.front().position)
                first = {wins[i]};
            else if (wins[i].position == first.front().position)
                first.push_back(wins[i]);
        }
        return first;
    };
    // Asked only of a prize this ticket has not won: every win of it after the call is another's.
    auto paidAfter = [&](Prize prize) {
        std::vector<Win> after;
        for (const Win &win : wins) {
            if (win.prize == prize && win.position > last)
                after.push_back(win);
        }
        return after;
    };
    // This ticket's own win among those that match, or wins.size().
    auto ownWin = [&](auto matches) -> std::size_t {
        for (std::size_t i = 0; i < wins.size(); ++i) {
            if (mine[i] != Sameness::Different && matches(wins[i].prize))
                return i;
        }
        return wins.size();
    };

    // When `count` of the ticket's numbers had all come: at the earliest its numbers not typed
    // could have made it (each the first called of those not typed), and at the latest (none
    // of them called). For a whole ticket the two are one.
    struct Bounds
    {
        int earliest = NotYet;
        int latest = NotYet;
        int toCome = 0;
    };
    auto ofTheNumbers = [&](std::size_t count) {
        std::vector<int> known;
        for (std::int16_t n : ticket.numbers) {
            if (calledAt[std::size_t(n)] != 0)
                known.push_back(calledAt[std::size_t(n)]);
        }
        std::sort(known.begin(), known.end());
        std::vector<int> earliest = known;
        int others = 0;
        for (const Call &call : calls) {
            if (others == hidden)
                break;
            if (!typed[std::size_t(call.number)]) {
                earliest.push_back(call.position);
                ++others;
            }
        }
        std::sort(earliest.begin(), earliest.end());
        Bounds bounds;
        if (known.size() >= count)
            bounds.latest = known[count - 1];
        if (earliest.size() >= count)
            bounds.earliest = earliest[count - 1];
        else
            bounds.toCome = int(count - earliest.size());
        return bounds;
    };

    // The prize judged by the calls alone, as if nobody had won it.
    auto judge = [&](Prize prize) {
        Verdict verdict;
        verdict.prize = prize;
        verdict.typed = int(ticket.numbers.size());
        const bool needsRows = prize != Prize::EarlyFive && !isFullHouse(prize);
        if (needsRows && !rowsKnown) {
            verdict.kind = Verdict::CannotTell;
            verdict.reason = Verdict::RowsNotTyped;
            return verdict;
        }
        Bounds bounds;
        Completion done;
        switch (prize) {
        case Prize::EarlyFive:
            bounds = ofTheNumbers(5);
            break;
        case Prize::TopLine:
        case Prize::MiddleLine:
        case Prize::BottomLine:
            done = allOf(ticket.rows[std::size_t(int(prize) - int(Prize::TopLine))], calledAt);
            break;
        case Prize::FourCorners:
            done = allOf({ticket.rows[0].front(), ticket.rows[0].back(), ticket.rows[2].front(), ticket.rows[2].back()},
                         calledAt);
            break;
        case Prize::OneLine:
            done = rowsOf(ticket.rows, 1, calledAt);
            break;
        case Prize::TwoLines:
            done = rowsOf(ticket.rows, 2, calledAt);
            break;
        default:
            bounds = ofTheNumbers(std::size_t(Ticket::Numbers));
            done = allOf(ticket.numbers, calledAt);
            break;
        }
        if (needsRows)
            bounds = {done.at, done.at, 0};
        if (bounds.earliest == NotYet) {
            verdict.kind = Verdict::NotComplete;
            verdict.atLeast = hidden > 0;
            if (prize != Prize::EarlyFive)
                verdict.missing = done.missing; // a full house: the numbers known still to come
            if (verdict.missing.empty())
                verdict.toCome = bounds.toCome;
        } else if (bounds.latest != NotYet && bounds.latest < last) {
            verdict.kind = Verdict::Late;
            verdict.completedAt = bounds.latest;
            verdict.completedBy = calls[std::size_t(bounds.latest - 1)].number;
            verdict.orEarlier = bounds.earliest < bounds.latest;
        } else if (bounds.earliest == last && bounds.latest == last) {
            verdict.kind = Verdict::Valid;
            verdict.completedAt = last;
            verdict.completedBy = calls[std::size_t(last - 1)].number;
        } else {
            verdict.kind = Verdict::CannotTell;
            verdict.reason = Verdict::NotWhole;
        }
        return verdict;
    };
    // A prize somebody else won: shared when they won it at this call and so did this
    // ticket; not to be told without what the typing left out; otherwise already won.
    auto againstWinners = [&](Prize prize, const std::vector<Win> &winners) {
        Verdict verdict = judge(prize);
        const Win &first = winners.front();
        const bool sharing = first.position == last && verdict.kind == Verdict::Valid;
        if (sharing) {
            verdict.sharedWith = winners;
        } else if (first.position != last || verdict.kind != Verdict::CannotTell) {
            verdict = Verdict();
            verdict.prize = prize;
            verdict.kind = Verdict::AlreadyWon;
        }
        verdict.winner = first;
        return verdict;
    };
    auto unwon = [&](Prize prize) {
        Verdict verdict = judge(prize);
        if (verdict.kind == Verdict::Valid)
            verdict.paidAfter = paidAfter(prize);
        return verdict;
    };
    // A prize this ticket has won itself, or may have: the numbers of one are all on the other.
    auto ownVerdict = [&](std::size_t i) {
        Verdict verdict;
        verdict.prize = wins[i].prize;
        verdict.winner = wins[i];
        verdict.typed = int(ticket.numbers.size());
        if (mine[i] == Sameness::Same) {
            verdict.kind = Verdict::AlreadyWon;
            verdict.byThisTicket = true;
        } else {
            verdict.kind = Verdict::CannotTell;
            verdict.reason = winnerLarger[i] ? Verdict::LikeAWinner : Verdict::HoldsAWinner;
        }
        return verdict;
    };

    std::vector<Verdict> verdicts;
    bool fullHousesDone = false;
    for (int i = 0; i < PrizeCount; ++i) {
        const Prize prize = Prize(i);
        if (!(inPlay & prizes::bit(prize)))
            continue;
        if (!isFullHouse(prize)) {
            const std::size_t own = ownWin([prize](Prize won) { return won == prize; });
            const std::vector<Win> winners = winsOf(prize);
            verdicts.push_back(own < wins.size() ? ownVerdict(own)
                               : !winners.empty() ? againstWinners(prize, winners)
                                                  : unwon(prize));
            continue;
        }
        if (fullHousesDone)
            continue;
        fullHousesDone = true;
        // The full houses as one: a ticket that won one has no claim on the others; any
        // other claim goes to the first still to win, or shares the one won at this call.
        const std::size_t own = ownWin(isFullHouse);
        if (own < wins.size()) {
            verdicts.push_back(ownVerdict(own));
            continue;
        }
        for (int j = i; j <= int(Prize::ThirdFullHouse); ++j) {
            const Prize house = Prize(j);
            if (!(inPlay & prizes::bit(house)))
                continue;
            const std::vector<Win> winners = winsOf(house);
            if (winners.empty()) {
                verdicts.push_back(unwon(house));
                break;
            }
            const Verdict verdict = againstWinners(house, winners);
            bool later = false;
            for (int k = j + 1; k <= int(Prize::ThirdFullHouse); ++k)
                later = later || (inPlay & prizes::bit(Prize(k)));
            if (verdict.kind != Verdict::AlreadyWon || !later) {
                verdicts.push_back(verdict);
                break;
            }
        }
    }
    return verdicts;
}

bool acceptable(const std::vector<Verdict> &verdicts)
{
    return std::any_of(verdicts.begin(), verdicts.end(), [](const Verdict &v) { return v.kind == Verdict::Valid; });
}

QString payLine(const std::vector<Verdict> &verdicts)
{
    std::map<Verdict::Kind, std::vector<Prize>> by;
    for (const Verdict &verdict : verdicts)
        by[verdict.kind].push_back(verdict.prize);
    if (!by[Verdict::Valid].empty()) {
        QStringList shares;
        for (const Verdict &verdict : verdicts) {
            if (verdict.kind == Verdict::Valid && !verdict.sharedWith.empty())
                shares << QStringLiteral("%1 shared with %2").arg(prizes::name(verdict.prize), ticketNames(verdict.sharedWith));
        }
        return QStringLiteral("Pay: %1 (valid%2)")
            .arg(names(by[Verdict::Valid], QStringLiteral("and")),
                 shares.isEmpty() ? QString() : QStringLiteral("; ") + shares.join(QStringLiteral("; ")));
    }
    if (verdicts.empty())
        return QStringLiteral("Nothing to pay: no prizes are in play");
    QStringList why;
    if (!by[Verdict::Late].empty())
        why << QStringLiteral("%1 late").arg(names(by[Verdict::Late], QStringLiteral("and")));
    if (!by[Verdict::AlreadyWon].empty())
        why << QStringLiteral("%1 already won").arg(names(by[Verdict::AlreadyWon], QStringLiteral("and")));
    if (!by[Verdict::CannotTell].empty())
        why << QStringLiteral("%1 cannot be told from what was typed")
                   .arg(names(by[Verdict::CannotTell], QStringLiteral("and")));
    if (why.isEmpty())
        why << QStringLiteral("nothing is complete");
    return QStringLiteral("Nothing to pay: ") + why.join(QStringLiteral("; "));
}

QStringList verdictLines(const std::vector<Verdict> &verdicts)
{
    QStringList lines{payLine(verdicts)};
    const std::vector<Verdict> ordered = inHostOrder(verdicts);
    for (const Verdict &verdict : ordered) {
        if (verdict.kind != Verdict::CannotTell)
            lines << verdict.text();
    }
    for (const auto &group : cannotTell(ordered, reasonText))
        lines << QStringLiteral("%1: Cannot tell, %2").arg(names(group.second, QStringLiteral("and")), reasonText(group.first));
    return lines;
}

QString spokenVerdicts(const std::vector<Verdict> &verdicts)
{
    std::map<Verdict::Kind, std::vector<Prize>> by;
    int lateSince = 0;
    bool shared = false;
    for (const Verdict &verdict : inHostOrder(verdicts)) {
        by[verdict.kind].push_back(verdict.prize);
        if (verdict.kind == Verdict::Late && !lateSince)
            lateSince = verdict.completedAt;
        shared = shared || (verdict.kind == Verdict::Valid && !verdict.sharedWith.empty());
    }
    const QString And = QStringLiteral("and");
    if (!by[Verdict::Valid].empty())
        return QStringLiteral("Pay %1%2.").arg(names(by[Verdict::Valid], And),
                                               shared ? QStringLiteral(", shared") : QString());
    if (verdicts.empty())
        return QStringLiteral("Nothing to pay, no prizes are in play.");
    // The one reason that decides it, as the pay line gives it first; past two prizes, how many.
    auto some = [&by, &And](Verdict::Kind kind) {
        const std::vector<Prize> &list = by[kind];
        return list.size() > 2 ? QStringLiteral("%1 prizes").arg(list.size()) : names(list, And);
    };
    if (by[Verdict::Late].size() == 1)
        return QStringLiteral("Do not pay, %1 late since call %2.").arg(prizes::name(by[Verdict::Late].front())).arg(lateSince);
    if (!by[Verdict::Late].empty())
        return QStringLiteral("Do not pay, %1 late.").arg(some(Verdict::Late));
    if (!by[Verdict::AlreadyWon].empty())
        return QStringLiteral("Do not pay, %1 already won.").arg(some(Verdict::AlreadyWon));
    if (!by[Verdict::CannotTell].empty())
        return QStringLiteral("Do not pay yet, cannot tell from what was typed.");
    return QStringLiteral("Do not pay, nothing complete.");
}
