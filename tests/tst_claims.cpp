#include "books.h"
#include "booksinplay.h"
#include "claims.h"
#include "ticketcode.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <random>
#include <set>

namespace {
// A ticket typed row by row: the four corners are 1, 45, 3 and 90.
const QString Rows = QStringLiteral("1 12 23 34 45 / 2 50 61 72 83 / 3 14 25 36 90");
const QString Flat = QStringLiteral("1 12 23 34 45 2 50 61 72 83 3 14 25 36 90");

QStringList list(std::initializer_list<const char *> texts)
{
    QStringList all;
    for (const char *text : texts)
        all << QString::fromUtf8(text);
    return all;
}

std::vector<Call> callsOf(const QList<int> &numbers)
{
    std::vector<Call> calls;
    for (int n : numbers)
        calls.push_back({int(calls.size()) + 1, std::int16_t(n), 0});
    return calls;
}

// "top-line 5 AAA": won by ticket AAA at call 5 of calls.
std::vector<Win> winsOf(const QStringList &lines, const std::vector<Call> &calls)
{
    std::vector<Win> wins;
    for (const QString &line : lines) {
        const QStringList parts = line.split(QLatin1Char(' '));
        Win win;
        prizes::fromKey(parts[0].toLatin1(), win.prize);
        win.position = parts[1].toInt();
        win.number = calls[std::size_t(win.position - 1)].number;
        win.ticket = parts[2];
        wins.push_back(win);
    }
    return wins;
}

// A judge written apart from the program's, for checking it: it replays the calls one by
// one and asks at each whether the prize's numbers are all out, instead of working out
// when they came. A ticket typed in part is judged in two worlds made up for it: its
// missing numbers the first called of the numbers not typed (the earliest it can have
// completed), and its missing numbers never called (the latest); only what both worlds
// agree on is a verdict. Its verdicts: "kind prize [call] [shared|mine]".
namespace reference {
bool done(Prize p, const ClaimTicket &t, const std::set<int> &out)
{
    auto all = [&](std::vector<std::int16_t> ns) { return std::all_of(ns.begin(), ns.end(), [&](int n) { return out.count(n) > 0; }); };
    auto rowsDone = [&] { return std::count_if(t.rows.begin(), t.rows.end(), [&](const auto &r) { return all(r); }); };
    switch (p) {
    case Prize::EarlyFive: return std::count_if(t.numbers.begin(), t.numbers.end(), [&](int n) { return out.count(n) > 0; }) >= 5;
    case Prize::TopLine: case Prize::MiddleLine: case Prize::BottomLine: return all(t.rows[std::size_t(int(p) - 1)]);
    case Prize::FourCorners: return all({t.rows[0].front(), t.rows[0].back(), t.rows[2].front(), t.rows[2].back()});
    case Prize::OneLine: return rowsDone() >= 1;
    case Prize::TwoLines: return rowsDone() >= 2;
    default: return all(t.numbers);
    }
}
bool house(Prize p) { return p >= Prize::FullHouse; }
int replay(Prize p, const ClaimTicket &t, const std::vector<Call> &calls) // the call that completed it, or 0
{
    std::set<int> out;
    for (const Call &call : calls) {
        out.insert(call.number);
        if (done(p, t, out))
            return call.position;
    }
    return 0;
}
QString byCalls(Prize p, const ClaimTicket &t, const std::vector<Call> &calls)
{
    if (!house(p) && p != Prize::EarlyFive && t.rows.size() != 3)
        return QStringLiteral("cannot");
    const int last = int(calls.size());
    // Number 0 is never called: a missing number that never came.
    ClaimTicket earliest = t, latest = t;
    for (const Call &call : calls) {
        if (earliest.numbers.size() < 15 && std::find(t.numbers.begin(), t.numbers.end(), call.number) == t.numbers.end())
            earliest.numbers.push_back(call.number);
    }
    earliest.numbers.resize(15, 0);
    latest.numbers.resize(15, 0);
    const int a = replay(p, earliest, calls), b = replay(p, latest, calls);
    if (a == 0)
        return QStringLiteral("incomplete");
    if (b != 0 && b < last)
        return QStringLiteral("late %1").arg(b);
    if (a == last && b == last)
        return QStringLiteral("valid %1").arg(last);
    return QStringLiteral("cannot");
}
int like(const ClaimTicket &a, const QString &label) // 0 different, 1 same, 2 cannot tell apart
{
    ClaimTicket b;
    if (!ClaimTicket::fromLabel(label, b))
        return 0;
    const std::set<int> x(a.numbers.begin(), a.numbers.end()), y(b.numbers.begin(), b.numbers.end());
    if (x == y) return 1;
    if (x.size() == 15 && y.size() == 15) return 0;
    const auto &small = x.size() < y.size() ? x : y;
    const auto &large = x.size() < y.size() ? y : x;
    return std::includes(large.begin(), large.end(), small.begin(), small.end()) ? 2 : 0;
}
// As of call k (0: the last): the calls after it unseen, and the wins of other tickets after it.
QStringList judge(const ClaimTicket &t, prizes::Set inPlay, std::vector<Call> calls, std::vector<Win> wins, int k = 0)
{
    if (k > 0 && k < int(calls.size()))
        calls.resize(std::size_t(k));
    const int last = int(calls.size());
    wins.erase(std::remove_if(wins.begin(), wins.end(), [&](const Win &w) { return !like(t, w.ticket) && w.position > last; }),
               wins.end());
    QStringList out;
    auto own = [&](auto which) -> QString {
        for (const Win &w : wins)
            if (which(w.prize) && like(t, w.ticket))
                return QStringLiteral("%1 %2").arg(QLatin1String(like(t, w.ticket) == 1 ? "won mine" : "cannot"), prizes::key(w.prize));
        return QString();
    };
    auto against = [&](Prize p) -> QString {
        const QString mine = byCalls(p, t, calls);
        int first = 0;
        for (const Win &w : wins)
            if (w.prize == p && (first == 0 || w.position < first)) first = w.position;
        if (first == 0) return mine;
        if (first == last && mine.startsWith(QLatin1String("valid"))) return mine + QStringLiteral(" shared");
        if (first == last && mine == QLatin1String("cannot")) return mine;
        return QStringLiteral("won");
    };
    bool housesDone = false;
    for (int i = 0; i < PrizeCount; ++i) {
        const Prize p = Prize(i);
        if (!(inPlay & prizes::bit(p)) || (house(p) && housesDone)) continue;
        if (!house(p)) {
            const QString o = own([p](Prize w) { return w == p; });
            out << (o.isEmpty() ? against(p) + QLatin1Char(' ') + prizes::key(p) : o);
            continue;
        }
        housesDone = true;
        const QString o = own(house);
        if (!o.isEmpty()) { out << o; continue; }
        for (int j = i; j < PrizeCount; ++j) {
            if (!(inPlay & prizes::bit(Prize(j)))) continue;
            bool later = false;
            for (int l = j + 1; l < PrizeCount; ++l) later = later || (inPlay & prizes::bit(Prize(l)));
            const QString v = against(Prize(j));
            if (v != QLatin1String("won") || !later) { out << v + QLatin1Char(' ') + prizes::key(Prize(j)); break; }
        }
    }
    return out;
}
// Whether a code was printed here: some line of its book printed that many tickets.
QString printed(const std::vector<BookList::Book> &books, const TicketCode &code)
{
    QString word = QStringLiteral("not listed");
    for (const BookList::Book &b : books) {
        if (b.book != code.book) continue;
        if (int(code.serial) / 6 < b.strips) return QStringLiteral("in play");
        word = QStringLiteral("past the end");
    }
    return word;
}
QString printed(BookList::Standing standing)
{
    switch (standing) {
    case BookList::Standing::InPlay: return QStringLiteral("in play");
    case BookList::Standing::PastTheBook: return QStringLiteral("past the end");
    case BookList::Standing::BookNotListed: break;
    }
    return QStringLiteral("not listed");
}
// The program's verdicts in the judge's words.
QStringList said(const std::vector<Verdict> &verdicts)
{
    QStringList out;
    for (const Verdict &v : verdicts) {
        const QString key = prizes::key(v.prize);
        switch (v.kind) {
        case Verdict::Valid: out << QStringLiteral("valid %1%2 %3").arg(v.completedAt).arg(QLatin1String(v.sharedWith.empty() ? "" : " shared")).arg(key); break;
        case Verdict::Late: out << QStringLiteral("late %1 %2").arg(v.completedAt).arg(key); break;
        case Verdict::NotComplete: out << QStringLiteral("incomplete ") + key; break;
        case Verdict::AlreadyWon: out << (v.byThisTicket ? QStringLiteral("won mine ") + key : QStringLiteral("won ") + key); break;
        case Verdict::CannotTell: out << QStringLiteral("cannot ") + key; break;
        }
    }
    return out;
}
} // namespace reference

// Whether the list holds a book, by any of its lines.
bool listed(const BookList &list, std::uint32_t book)
{
    return std::any_of(list.books().begin(), list.books().end(), [book](const BookList::Book &b) { return b.book == book; });
}

ClaimTicket byCode(std::uint32_t book, std::uint32_t serial)
{
    return ClaimTicket::of(TicketCode{book, serial});
}

// The claim a table row makes: the ticket typed, read; the prizes in play; the calls; the
// wins so far, where a ticket named T or U stands for book 1234's serial 60 or 61.
struct RowClaim
{
    bool read = false;
    ClaimTicket ticket;
    prizes::Set inPlay = 0;
    std::vector<Call> calls;
    std::vector<Win> wins;
};

RowClaim rowClaim()
{
    QFETCH(QString, typed);
    QFETCH(int, inPlay);
    QFETCH(QList<int>, called);
    QFETCH(QStringList, won);
    RowClaim claim;
    QString why;
    claim.read = ClaimTicket::read(typed, claim.ticket, why);
    if (!claim.read)
        QTest::qFail(qPrintable(why), __FILE__, __LINE__);
    claim.inPlay = prizes::Set(inPlay);
    claim.calls = callsOf(called);
    for (QString &line : won) {
        line.replace(QRegularExpression(QStringLiteral(" T$")), QLatin1Char(' ') + byCode(1234, 60).label);
        line.replace(QRegularExpression(QStringLiteral(" U$")), QLatin1Char(' ') + byCode(1234, 61).label);
    }
    claim.wins = winsOf(won, claim.calls);
    return claim;
}

// The ticket's rows as a host types them: "1 12 23 34 45 / 2 50 61 72 83 / ...".
QString typedRows(const ClaimTicket &ticket)
{
    QStringList rows;
    for (const auto &row : ticket.rows) {
        QStringList words;
        for (std::int16_t n : row)
            words << QString::number(n);
        rows << words.join(QLatin1Char(' '));
    }
    return rows.join(QStringLiteral(" / "));
}
} // namespace

class TestClaims : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void verdicts_data();
    void verdicts();
    void badTicketsAreRefusedWithAWord_data();
    void badTicketsAreRefusedWithAWord();
    void aTicketIsPaidOnce_data();
    void aTicketIsPaidOnce();
    void agreesWithAReferenceJudge();
    void everyPrintableCodeReadsAsACode();
    void verdictsInTheHostsOrderAndWords();
    void thePayLineAnswersDoIPay_data();
    void thePayLineAnswersDoIPay();
    void theSpokenAnswerAgreesAndIsShort();
    void booksInPlay();
    void aDamagedLineIsSetAsideTheRestKept_data();
    void aDamagedLineIsSetAsideTheRestKept();
    void anotherRunsBooksAreKeptOnAdd();
    void aListThatCannotBeKeptIsSaid();
    void booksAreReadOffTheWindowsThread();
};

void TestClaims::verdicts_data()
{
    const prizes::Set fullHouses = prizes::bit(Prize::FullHouse) | prizes::bit(Prize::SecondFullHouse);
    const QList<int> all = {1, 12, 23, 34, 45, 2, 50, 61, 72, 83, 3, 14, 25, 36, 90};
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("inPlay");
    QTest::addColumn<QList<int>>("called");
    QTest::addColumn<QStringList>("won");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("at"); // the call the claim was made at; none: the last

    QTest::newRow("nothing called") << Rows << int(prizes::Tambola) << QList<int>{} << list({})
        << list({"Early Five: Not complete, 5 more of its numbers to come",
                       "Top Line: Not complete, missing 1, 12, 23, 34, 45",
                       "Middle Line: Not complete, missing 2, 50, 61, 72, 83",
                       "Bottom Line: Not complete, missing 3, 14, 25, 36, 90",
                       "Four Corners: Not complete, missing 1, 45, 3, 90",
                       "Full House: Not complete, missing 1, 12, 23, 34, 45, 2, 50, 61, 72, 83, 3, 14, 25, 36, 90"}) << 0;
    QTest::newRow("valid by the last number") << Rows << int(prizes::bit(Prize::TopLine) | prizes::bit(Prize::EarlyFive))
        << QList<int>{1, 12, 77, 23, 34, 45} << list({})
        << list({"Early Five: Valid", "Top Line: Valid"}) << 0;
    QTest::newRow("late after the next number") << Rows << int(prizes::bit(Prize::TopLine) | prizes::bit(Prize::EarlyFive))
        << QList<int>{1, 12, 23, 34, 45, 77} << list({})
        << list({"Early Five: Late, complete since call 5 (number 45)",
                       "Top Line: Late, complete since call 5 (number 45)"}) << 0;
    QTest::newRow("four corners, the middle not needed") << Rows << int(prizes::bit(Prize::FourCorners))
        << QList<int>{90, 3, 1, 45} << list({}) << list({"Four Corners: Valid"}) << 0;
    QTest::newRow("already won") << Rows << int(prizes::bit(Prize::TopLine)) << QList<int>{1, 12, 23, 34, 45, 77}
        << list({"top-line 5 AAA-BBBB-C"}) << list({"Top Line: Already won by AAA-BBBB-C at call 5 (number 45)"}) << 0;
    QTest::newRow("won at this call: shared") << Rows << int(prizes::bit(Prize::TopLine)) << QList<int>{77, 1, 12, 23, 34, 45}
        << list({"top-line 6 AAA-BBBB-C"})
        << list({"Top Line: Valid, shared with AAA-BBBB-C, who completed it at the same call"}) << 0;
    QTest::newRow("won at this call, not complete") << Rows << int(prizes::bit(Prize::TopLine)) << QList<int>{77, 1, 12, 23, 34}
        << list({"top-line 5 AAA-BBBB-C"}) << list({"Top Line: Already won by AAA-BBBB-C at call 5 (number 34)"}) << 0;
    QTest::newRow("second full house after the first") << Rows << int(fullHouses) << (QList<int>{88} + all)
        << list({"full-house 1 AAA-BBBB-C"}) << list({"Second Full House: Valid"}) << 0;
    QTest::newRow("full house shared at its call") << Rows << int(fullHouses) << (QList<int>{88} + all)
        << list({"full-house 16 AAA-BBBB-C"})
        << list({"Full House: Valid, shared with AAA-BBBB-C, who completed it at the same call"}) << 0;
    QTest::newRow("ninety-ball lines") << Rows << int(prizes::NinetyBall) << QList<int>{2, 50, 61, 72, 83, 1, 12, 23, 34, 45}
        << list({})
        << list({"One Line: Late, complete since call 5 (number 83)", "Two Lines: Valid",
                       "Full House: Not complete, missing 3, 14, 25, 36, 90"}) << 0;
    QTest::newRow("ninety-ball, one row short") << Rows << int(prizes::bit(Prize::TwoLines)) << QList<int>{2, 50, 61, 72, 1}
        << list({}) << list({"Two Lines: Not complete, missing 83, 12, 23, 34, 45"}) << 0;
    QTest::newRow("typed without rows") << Flat << int(prizes::Tambola) << all << list({})
        << list({"Early Five: Late, complete since call 5 (number 45)",
                       "Top Line: Cannot tell, the rows were not typed (type them with / between the rows)",
                       "Middle Line: Cannot tell, the rows were not typed (type them with / between the rows)",
                       "Bottom Line: Cannot tell, the rows were not typed (type them with / between the rows)",
                       "Four Corners: Cannot tell, the rows were not typed (type them with / between the rows)",
                       "Full House: Valid"}) << 0;
    // Typed in part: only what the numbers typed prove, whatever the others are.
    const int fives = int(prizes::bit(Prize::EarlyFive) | prizes::bit(Prize::FullHouse));
    QTest::newRow("in part: nothing else called, so valid") << QStringLiteral("4, 17, 28, 39, 40, 66") << fives
        << QList<int>{4, 17, 28, 39, 66} << list({})
        << list({"Early Five: Valid", "Full House: Not complete, missing at least 40"}) << 0;
    QTest::newRow("in part: five typed came last, one not typed before") << QStringLiteral("12 23 34 45 50") << fives
        << QList<int>{1, 12, 23, 34, 45, 50} << list({})
        << list({"Early Five: Cannot tell, only 5 of the ticket's fifteen numbers were typed (type the other 10)",
                 "Full House: Not complete, at least 9 more of its numbers to come"}) << 0;
    QTest::newRow("in part: five typed before the last call") << QStringLiteral("12 23 34 45 50 61") << fives
        << QList<int>{7, 12, 23, 34, 45, 50, 61} << list({})
        << list({"Early Five: Late, complete since call 6 (number 50) or earlier",
                 "Full House: Not complete, at least 8 more of its numbers to come"}) << 0;
    QTest::newRow("in part: too few called to be complete") << QStringLiteral("12 23") << fives
        << QList<int>{12, 23, 77} << list({})
        << list({"Early Five: Not complete, at least 2 more of its numbers to come",
                 "Full House: Not complete, at least 12 more of its numbers to come"}) << 0;
    QTest::newRow("in part: every number typed called") << QStringLiteral("12 23 34") << fives
        << (QList<int>{12, 23, 34} + QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 14, 15, 16, 17})
        << list({}) << list({"Early Five: Cannot tell, only 3 of the ticket's fifteen numbers were typed (type the other 12)",
                             "Full House: Cannot tell, only 3 of the ticket's fifteen numbers were typed (type the other 12)"}) << 0;
    // As of the claim's call: a call made since cannot make it late, a win since cannot take it.
    const int top = int(prizes::bit(Prize::TopLine) | prizes::bit(Prize::EarlyFive));
    QTest::newRow("judged at its call, a call made since") << Rows << top << QList<int>{1, 12, 77, 23, 34, 45, 88}
        << list({}) << list({"Early Five: Valid", "Top Line: Valid"}) << 6;
    QTest::newRow("judged at its call, another paid since") << Rows << int(prizes::bit(Prize::TopLine))
        << QList<int>{1, 12, 77, 23, 34, 45, 88} << list({"top-line 7 AAA-BBBB-C"})
        << list({"Top Line: Valid (also accepted for AAA-BBBB-C at call 7, after this claim)"}) << 6;
    QTest::newRow("judged at its call, its own win since still counts") << Rows << int(prizes::bit(Prize::TopLine))
        << QList<int>{1, 12, 77, 23, 34, 45, 88} << list({"top-line 7 typed:1,2,3,12,14,23,25,34,36,45,50,61,72,83,90"})
        << list({"Top Line: Already won by this ticket at call 7 (number 88)"}) << 6;
    QTest::newRow("judged at its call, not complete then") << Rows << int(prizes::bit(Prize::TopLine))
        << QList<int>{1, 12, 77, 23, 34, 45} << list({}) << list({"Top Line: Not complete, missing 45"}) << 5;
    // Winners as a host reads them.
    QTest::newRow("shared by three") << Rows << int(prizes::bit(Prize::TopLine)) << QList<int>{77, 1, 12, 23, 34, 45}
        << list({"top-line 6 AAA-BBBB-C", "top-line 6 typed:2,33,57,64,87"})
        << list({"Top Line: Valid, shared with AAA-BBBB-C and typed 2 33 57…, who completed it at the same call"}) << 0;
    QTest::newRow("won by a ticket typed in, named short") << Rows << int(prizes::bit(Prize::EarlyFive))
        << QList<int>{2, 33, 57, 64, 87, 1} << list({"early-five 5 typed:2,33,57,64,87"})
        << list({"Early Five: Already won by typed 2 33 57… at call 5 (number 87)"}) << 0;
    QTest::newRow("a winner typed in part, all on this ticket") << Rows << int(prizes::bit(Prize::EarlyFive))
        << QList<int>{1, 12, 23, 34, 45} << list({"early-five 5 typed:1,12,23,34,45"})
        << list({"Early Five: Cannot tell, every number of typed 1 12 23…, which won it at call 5, is on this ticket: "
                 "it may be this ticket typed in part"}) << 0;
}

void TestClaims::verdicts()
{
    QFETCH(QStringList, expected);
    QFETCH(int, at);
    const RowClaim claim = rowClaim();
    if (!claim.read)
        return;
    QStringList said;
    const std::vector<Verdict> verdicts = checkClaim(claim.ticket, claim.inPlay, claim.calls, claim.wins, at);
    for (const Verdict &verdict : verdicts)
        said << verdict.text();
    QCOMPARE(said, expected);
    // The reference judge, written apart, says the same.
    QCOMPARE(reference::said(verdicts), reference::judge(claim.ticket, claim.inPlay, claim.calls, claim.wins, at));
}

void TestClaims::badTicketsAreRefusedWithAWord_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("reason");
    QTest::newRow("nothing") << QStringLiteral("  ") << QStringLiteral("Type the ticket's code");
    QTest::newRow("a code not ours") << QStringLiteral("8QB-2222-W") << QStringLiteral("check character");
    QTest::newRow("a code of another form") << QStringLiteral("TICKET-12") << QStringLiteral("Not one of our ticket codes");
    QTest::newRow("outside 1 to 90") << QStringLiteral("4 17 91") << QStringLiteral("'91' is not a number from 1 to 90");
    QTest::newRow("zero") << QStringLiteral("0 17") << QStringLiteral("'0'");
    QTest::newRow("twice") << QStringLiteral("4, 17, 4") << QStringLiteral("4 is typed twice");
    QTest::newRow("sixteen numbers") << QStringLiteral("1 2 3 10 11 12 20 21 22 30 31 32 40 41 42 50")
                                     << QStringLiteral("fifteen numbers; 16 were typed");
    QTest::newRow("four of a column") << QStringLiteral("40 41 42 43") << QStringLiteral("more than three numbers from 40 to 49");
    QTest::newRow("rows not of five") << QStringLiteral("1 12 23 34 45 / 2 50 / 3 14") << QStringLiteral("three rows of five");
    QTest::newRow("a column that descends") << QStringLiteral("2 12 23 34 45 / 1 50 61 72 83 / 3 14 25 36 90")
                                            << QStringLiteral("column 1 does not ascend");
    QTest::newRow("two in one cell") << QStringLiteral("1 2 23 34 45 / 50 61 72 83 84 / 3 14 25 36 90")
                                     << QStringLiteral("share a column in row 1");
    QTest::newRow("fifteen with columns left empty") << QStringLiteral("3 5 6 10 13 17 22 24 26 30 31 39 42 44 49")
                                                     << QStringLiteral("Not a ticket: none of its numbers is from 50 to 59");
    QTest::newRow("no numbers at all") << QStringLiteral(",,, ;;") << QStringLiteral("Type the ticket's code");
    QTest::newRow("an all-digit code mistyped") << QStringLiteral("388-2222-8") << QStringLiteral("check character");
    QTest::newRow("a page pasted") << QString(10000, QLatin1Char('/')) << QStringLiteral("far longer than a ticket");
    QTest::newRow("a long word quoted short") << (QStringLiteral("4 ") + QString(200, QLatin1Char('9')))
                                              << QStringLiteral("'9999999999...' is not");
}

void TestClaims::badTicketsAreRefusedWithAWord()
{
    QFETCH(QString, typed);
    QFETCH(QString, reason);
    ClaimTicket ticket;
    QString why;
    QVERIFY(!ClaimTicket::read(typed, ticket, why));
    QVERIFY2(why.contains(reason), qPrintable(why));
}


// The cases where a ticket could be paid twice, one verdict each: what the claim gets for
// the prize named, given the wins already recorded ("prize call ticket"; "T" for the
// claiming ticket's own code, "U" for another ticket of the same strip).
void TestClaims::aTicketIsPaidOnce_data()
{
    const ClaimTicket t = byCode(1234, 60);
    const ClaimTicket u = byCode(1234, 61);
    QList<int> all; // every number of both tickets, t's last
    for (std::int16_t n : u.numbers) all << n;
    for (std::int16_t n : t.numbers) all << n;
    const prizes::Set houses = prizes::bit(Prize::FullHouse) | prizes::bit(Prize::SecondFullHouse) | prizes::bit(Prize::ThirdFullHouse);
    const prizes::Set bottom = prizes::bit(Prize::BottomLine);
    QList<int> bottoms; // both bottom rows complete with the same last call
    for (std::int16_t n : t.rows[2]) bottoms << n;
    for (std::int16_t n : u.rows[2]) if (!bottoms.contains(n)) bottoms << n;
    std::swap(bottoms.last(), bottoms[4]); // t's last bottom number called last
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("inPlay");
    QTest::addColumn<QList<int>>("called");
    QTest::addColumn<QStringList>("won");
    QTest::addColumn<QString>("expected");
    const int end = int(all.size());
    QTest::newRow("full house, then the second for the same ticket") << t.label << int(houses) << all
        << QStringList{QStringLiteral("full-house %1 T").arg(end)} << QStringLiteral("won mine full-house");
    QTest::newRow("second full house, then the third for the same ticket") << t.label << int(houses) << all
        << QStringList{QStringLiteral("full-house 20 U"), QStringLiteral("second-full-house %1 T").arg(end)}
        << QStringLiteral("won mine second-full-house");
    QTest::newRow("the next full house goes to another ticket") << t.label << int(houses) << all
        << QStringList{QStringLiteral("full-house 20 U")} << QStringLiteral("valid %1 second-full-house").arg(end);
    QTest::newRow("a shared prize accepted, checked again") << t.label << int(bottom) << bottoms
        << QStringList{QStringLiteral("bottom-line 10 U"), QStringLiteral("bottom-line 10 T")} << QStringLiteral("won mine bottom-line");
    QTest::newRow("a shared prize, the first winner again") << u.label << int(bottom) << bottoms
        << QStringList{QStringLiteral("bottom-line 10 U")} << QStringLiteral("won mine bottom-line");
    QTest::newRow("a shared prize, another ticket") << t.label << int(bottom) << bottoms
        << QStringList{QStringLiteral("bottom-line 10 U")} << QStringLiteral("valid 10 shared bottom-line");
    QTest::newRow("the winning ticket typed in rows") << typedRows(t) << int(bottom) << bottoms
        << QStringList{QStringLiteral("bottom-line 10 T")} << QStringLiteral("won mine bottom-line");
    QTest::newRow("the winning ticket typed without rows") << ClaimTicket::typedLabel(t.numbers).mid(6) << int(houses) << all
        << QStringList{QStringLiteral("full-house %1 T").arg(end)} << QStringLiteral("won mine full-house");
    QTest::newRow("a part of the winner typed") << QStringLiteral("%1 %2 %3 %4 %5 %6").arg(t.numbers[0]).arg(t.numbers[1]).arg(t.numbers[2]).arg(t.numbers[3]).arg(t.numbers[4]).arg(t.numbers[5])
        << int(prizes::bit(Prize::EarlyFive)) << all << QStringList{QStringLiteral("early-five 9 T")} << QStringLiteral("cannot early-five");
    QTest::newRow("won before this call: not shared") << t.label << int(bottom) << (bottoms + QList<int>{all.first() == bottoms.first() ? all.last() : all.first()})
        << QStringList{QStringLiteral("bottom-line 10 U")} << QStringLiteral("won bottom-line");
}

void TestClaims::aTicketIsPaidOnce()
{
    QFETCH(QString, expected);
    const RowClaim claim = rowClaim();
    if (!claim.read)
        return;
    const std::vector<Verdict> verdicts = checkClaim(claim.ticket, claim.inPlay, claim.calls, claim.wins);
    QCOMPARE(reference::said(verdicts), QStringList{expected});
    QCOMPARE(reference::judge(claim.ticket, claim.inPlay, claim.calls, claim.wins), QStringList{expected});
    QCOMPARE(acceptable(verdicts), expected.startsWith(QLatin1String("valid")));
}

// Random games, tickets, prizes in play and wins accepted on the way: the program's verdicts
// and the reference judge's agree on every claim. The tickets: six by code (two strips: one
// strip's tickets never share a number, two strips' often do), one typed again without rows,
// and three typed in part, any of their numbers; each claim judged at the last call or, as a
// phone's claim is, at an earlier one; and whether a code was printed, for random books.
void TestClaims::agreesWithAReferenceJudge()
{
    std::mt19937_64 random(20261209);
    auto below = [&random](int n) { return int(random() % std::uint64_t(n)); };
    int claims = 0;
    int valid = 0;
    int shared = 0;
    int mine = 0;
    int partly = 0;
    int earlier = 0;
    int partlyKinds[5] = {};
    for (int game = 0; game < 500; ++game) {
        std::vector<std::int16_t> order(90);
        std::iota(order.begin(), order.end(), std::int16_t(1));
        std::shuffle(order.begin(), order.end(), random);
        prizes::Set inPlay = prizes::Set(random() & 0x3ff);
        if (below(2))
            inPlay = prizes::Set(inPlay | prizes::bit(Prize::FullHouse) | prizes::bit(Prize::SecondFullHouse));
        const std::uint32_t book = std::uint32_t(below(int(TicketCode::Books)));
        const std::uint32_t strip = std::uint32_t(below(1000));
        std::vector<ClaimTicket> tickets;
        for (std::uint32_t i = 0; i < 6; ++i)
            tickets.push_back(byCode(book, (strip + i / 3) * 6 + i % 3));
        // One game in four opens with numbers of one ticket: prizes complete early, while
        // few other numbers are out, where a ticket typed in part can be proved.
        const bool early = below(4) == 0;
        const std::size_t opener = std::size_t(1 + below(5));
        std::vector<std::int16_t> first = tickets[opener].numbers;
        std::shuffle(first.begin(), first.end(), random);
        first.resize(std::size_t(5 + below(6)));
        if (early) {
            std::stable_partition(order.begin(), order.end(), [&](std::int16_t n) {
                return std::find(first.begin(), first.end(), n) != first.end();
            });
        }
        ClaimTicket flat = tickets[0];
        flat.rows.clear();
        flat.label = ClaimTicket::typedLabel(flat.numbers);
        tickets.push_back(flat);
        for (int i = 0; i < 3; ++i) {
            ClaimTicket part = tickets[early ? opener : std::size_t(1 + below(5))];
            part.rows.clear();
            part.fromCode = false;
            std::shuffle(part.numbers.begin(), part.numbers.end(), random);
            // Typed as a host reads a ticket out, the numbers called first among them.
            if (early)
                std::stable_partition(part.numbers.begin(), part.numbers.end(), [&](std::int16_t n) {
                    return std::find(first.begin(), first.end(), n) != first.end();
                });
            part.numbers.resize(std::size_t(1 + below(14)));
            part.label = ClaimTicket::typedLabel(part.numbers);
            tickets.push_back(part);
        }

        std::vector<Call> calls;
        std::vector<Win> wins;
        const int length = 60 + below(31);
        for (int k = 0; k < length; ++k) {
            calls.push_back({k + 1, order[std::size_t(k)], 0});
            if (below(8) != 0 && k + 1 != length && !(early && k < 8))
                continue;
            std::vector<std::size_t> who(tickets.size());
            std::iota(who.begin(), who.end(), std::size_t(0));
            std::shuffle(who.begin(), who.end(), random);
            for (std::size_t t : who) {
                const int at = below(3) == 0 ? 1 + below(std::min(k + 1, below(2) ? 8 : 90)) : 0;
                const std::vector<Verdict> verdicts = checkClaim(tickets[t], inPlay, calls, wins, at);
                const QStringList expected = reference::judge(tickets[t], inPlay, calls, wins, at);
                if (reference::said(verdicts) != expected)
                    QFAIL(qPrintable(QStringLiteral("game %1, call %2 judged at %3, ticket %4: the program said %5, the judge %6")
                                         .arg(game).arg(k + 1).arg(at).arg(tickets[t].label,
                                                                   reference::said(verdicts).join(QStringLiteral("; ")),
                                                                   expected.join(QStringLiteral("; ")))));
                ++claims;
                earlier += at > 0 && at <= k;
                if (!tickets[t].whole()) {
                    ++partly;
                    for (const Verdict &v : verdicts)
                        ++partlyKinds[v.kind];
                }
                // Accepted as the game does: every valid prize, and nothing else.
                for (const Verdict &v : verdicts) {
                    mine += v.byThisTicket;
                    if (v.kind != Verdict::Valid)
                        continue;
                    ++valid;
                    shared += !v.sharedWith.empty();
                    wins.push_back({v.prize, tickets[t].label, v.completedAt, v.completedBy, 0});
                }
            }
        }
    }
    // Whether a code was printed here, for random lists of books and codes near their ends.
    int codes = 0;
    for (int list = 0; list < 200; ++list) {
        std::vector<BookList::Book> books;
        for (int b = below(4); b >= 0; --b)
            books.push_back({std::uint32_t(below(8)), 1 + below(40), Paper::A4, 0});
        for (int c = 0; c < 50; ++c, ++codes) {
            const TicketCode code{std::uint32_t(below(10)), std::uint32_t(below(260))};
            QCOMPARE(reference::printed(BookList::standing(books, code)), reference::printed(books, code));
        }
    }
    qInfo("%d claims judged alike (%d of tickets typed in part, %d at an earlier call); %d valid verdicts, %d of "
          "them shared; %d already won by the claiming ticket; %d codes' printing alike",
          claims, partly, earlier, valid, shared, mine, codes);
    qInfo("verdicts on tickets typed in part: %d valid, %d late, %d already won, %d not complete, %d cannot tell",
          partlyKinds[0], partlyKinds[1], partlyKinds[2], partlyKinds[3], partlyKinds[4]);
    QVERIFY(claims >= 20000);
    QVERIFY(shared > 20);
    QVERIFY(mine > 500);
    // Every kind of verdict comes to tickets typed in part.
    for (int kind : partlyKinds)
        QVERIFY(kind > 20);
}

// Every code the printer can make is read as a code, whatever its characters: every book
// (all-digit ones among them) with serials that put every character at every place.
void TestClaims::everyPrintableCodeReadsAsACode()
{
    int read = 0;
    // As printed, without the dashes in lower case, or with spaces for the dashes: in turn.
    auto reads = [&read](std::uint32_t book, std::uint32_t serial) {
        const TicketCode code{book, serial};
        const QString forms[] = {code.text(), code.text().remove(QLatin1Char('-')).toLower(),
                                 code.text().replace(QLatin1Char('-'), QLatin1Char(' '))};
        ClaimTicket ticket;
        QString why;
        return ClaimTicket::read(forms[read++ % 3], ticket, why) && ticket.fromCode && ticket.book == book
            && ticket.label == code.text();
    };
    for (std::uint32_t book = 0; book < TicketCode::Books; ++book) {
        if (!reads(book, (book * 7919u) % TicketCode::Serials))
            QFAIL(qPrintable((TicketCode{book, 0}.text())));
    }
    for (std::uint32_t serial = 0; serial < 29u * 29u; ++serial) {
        // Every pair of characters in the serial's first two places and in its last two.
        if (!reads(0, serial) || !reads(TicketCode::Books - 1, serial * 29u * 29u))
            QFAIL(qPrintable((TicketCode{0, serial}.text())));
    }
    QVERIFY(reads(TicketCode::Books - 1, TicketCode::Serials - 1));
    QVERIFY(read > 26000);
}

void TestClaims::verdictsInTheHostsOrderAndWords()
{
    // A late ticket typed without rows, all six tambola prizes in play.
    ClaimTicket ticket;
    QString why;
    QVERIFY(ClaimTicket::read(Flat, ticket, why));
    const std::vector<Call> calls = callsOf({1, 12, 23, 34, 45, 2, 50, 61, 72, 83, 3, 14, 25, 36, 90, 77});
    const std::vector<Verdict> verdicts = checkClaim(ticket, prizes::Tambola, calls, {});
    QCOMPARE(verdictLines(verdicts),
             list({"Nothing to pay: Early Five and Full House late; Top Line, Middle Line, Bottom Line and Four Corners "
                   "cannot be told from what was typed",
                   "Early Five: Late, complete since call 5 (number 45)",
                   "Full House: Late, complete since call 15 (number 90)",
                   "Top Line, Middle Line, Bottom Line and Four Corners: Cannot tell, the rows were not typed (type "
                   "them with / between the rows)"}));
    QCOMPARE(spokenVerdicts(verdicts), QStringLiteral("Do not pay, Early Five and Full House late."));
}

// The first line answers the host's question, "do I pay?": every prize valid, or why not.
void TestClaims::thePayLineAnswersDoIPay_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("inPlay");
    QTest::addColumn<QList<int>>("called");
    QTest::addColumn<QStringList>("won");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("spoken");
    const QList<int> top{77, 1, 12, 23, 34, 45};
    QTest::newRow("valid") << Rows << int(prizes::bit(Prize::TopLine)) << top << list({}) << QStringLiteral("Pay: Top Line (valid)")
        << QStringLiteral("Pay Top Line.");
    QTest::newRow("two valid, one shared") << Rows << int(prizes::Tambola) << top << list({"top-line 6 AAA-BBBB-C"})
        << QStringLiteral("Pay: Early Five and Top Line (valid; Top Line shared with AAA-BBBB-C)")
        << QStringLiteral("Pay Early Five and Top Line, shared.");
    QTest::newRow("late and won") << Rows << int(prizes::Tambola) << (top + QList<int>{88})
        << list({"early-five 6 AAA-BBBB-C"}) << QStringLiteral("Nothing to pay: Top Line late; Early Five already won")
        << QStringLiteral("Do not pay, Top Line late since call 6.");
    QTest::newRow("won by another") << Rows << int(prizes::bit(Prize::EarlyFive)) << top
        << list({"early-five 5 AAA-BBBB-C"}) << QStringLiteral("Nothing to pay: Early Five already won")
        << QStringLiteral("Do not pay, Early Five already won.");
    QTest::newRow("nothing complete") << Rows << int(prizes::Tambola) << QList<int>{1, 12} << list({})
        << QStringLiteral("Nothing to pay: nothing is complete") << QStringLiteral("Do not pay, nothing complete.");
    QTest::newRow("no prizes") << Rows << 0 << top << list({}) << QStringLiteral("Nothing to pay: no prizes are in play")
        << QStringLiteral("Nothing to pay, no prizes are in play.");
    QTest::newRow("typed in part") << QStringLiteral("12 23 34 45 50") << int(prizes::bit(Prize::EarlyFive))
        << QList<int>{1, 12, 23, 34, 45, 50} << list({})
        << QStringLiteral("Nothing to pay: Early Five cannot be told from what was typed")
        << QStringLiteral("Do not pay yet, cannot tell from what was typed.");
}

void TestClaims::thePayLineAnswersDoIPay()
{
    QFETCH(QString, expected);
    QFETCH(QString, spoken);
    const RowClaim claim = rowClaim();
    const std::vector<Verdict> verdicts = checkClaim(claim.ticket, claim.inPlay, claim.calls, claim.wins);
    QCOMPARE(verdictLines(verdicts).first(), expected);
    QCOMPARE(spokenVerdicts(verdicts), spoken);
}

// What a reader hears first answers "do I pay?" as the pay line does, in a dozen words at
// most (unless it pays more than three prizes, each named) and with nothing a reader would say aloud as punctuation: every prize in play, the
// ticket claimed after every call of many orders, typed whole and in part.
void TestClaims::theSpokenAnswerAgreesAndIsShort()
{
    QRandomGenerator random(41);
    const prizes::Set every = prizes::Tambola | prizes::NinetyBall | prizes::bit(Prize::SecondFullHouse)
        | prizes::bit(Prize::ThirdFullHouse);
    int paid = 0;
    int checks = 0;
    for (int game = 0; game < 40; ++game) {
        QList<int> order;
        for (int n = 1; n <= 90; ++n)
            order << n;
        std::shuffle(order.begin(), order.end(), std::mt19937(random.generate()));
        const std::vector<Call> calls = callsOf(order);
        for (const QString &typed : {Rows, Flat, QStringLiteral("1 12 23 34 45 2 50 61 72 83")}) {
            ClaimTicket ticket;
            QString why;
            QVERIFY(ClaimTicket::read(typed, ticket, why));
            for (std::size_t at = 1; at <= calls.size(); at += 1 + std::size_t(random.bounded(3))) {
                const std::vector<Call> sofar(calls.begin(), calls.begin() + std::ptrdiff_t(at));
                const std::vector<Verdict> verdicts = checkClaim(ticket, every, sofar, {});
                const QString said = spokenVerdicts(verdicts);
                ++checks;
                paid += acceptable(verdicts);
                // Every prize to pay is named, however many.
                const auto valid = std::count_if(verdicts.begin(), verdicts.end(),
                                                 [](const Verdict &v) { return v.kind == Verdict::Valid; });
                QVERIFY2(said.split(QLatin1Char(' ')).size() <= 12 || valid > 3, qPrintable(said));
                QVERIFY2(!said.contains(QRegularExpression(QStringLiteral("[():;]"))), qPrintable(said));
                QCOMPARE(said.startsWith(QLatin1String("Pay ")), acceptable(verdicts));
                QCOMPARE(said.startsWith(QLatin1String("Pay ")), verdictLines(verdicts).first().startsWith(QLatin1String("Pay: ")));
            }
        }
    }
    QVERIFY2(paid > 50 && checks > 3000, qPrintable(QStringLiteral("%1 of %2").arg(paid).arg(checks)));
}

// The books this caller printed, kept beside the game: a new book never repeats one, the
// list reads back as written, a damaged one is moved aside and read as empty.
void TestClaims::booksInPlay()
{
    QTemporaryDir folder;
    BookList books(folder.path() + QStringLiteral("/state"));
    QString why;
    QVERIFY(books.load(why));
    QVERIFY(books.books().empty());

    const BookList::Book first{TicketCode::Books - 1, 50, Paper::Letter, 1765300503120};
    QVERIFY2(books.add(first, why), qPrintable(why));
    QVERIFY2(books.add({0, 1, Paper::A4, 1765300600000}, why), qPrintable(why));
    QFile file(books.path());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArrayLiteral("tabro-kalvor books 1\n"
                                               "book ZZZ 50 letter 2025-12-09T17:15:03.120Z\n"
                                               "book 222 1 a4 2025-12-09T17:16:40.000Z\n"
                                               "end\n"));
    file.close();
    BookList again(folder.path() + QStringLiteral("/state"));
    QVERIFY(again.load(why));
    QVERIFY(listed(again, 0) && listed(again, TicketCode::Books - 1) && !listed(again, 1));
    QCOMPARE(again.books().front(), first);

    // A random source that keeps proposing the first free number still gets a free one.
    std::uint32_t book = 0;
    QVERIFY(again.newBook(book, [](std::uint32_t) { return 0u; }));
    QCOMPARE(book, 1u);
    QVERIFY(again.newBook(book, [](std::uint32_t n) { return n - 1; }));
    QCOMPARE(book, TicketCode::Books - 2);

    // Printing that fails lists nothing; printing that works lists its book.
    QString note;
    QVERIFY(!again.printNew(3, Paper::A4, [](std::uint32_t, QString &problem) { problem = QStringLiteral("disk full"); return false; }, why, note));
    QCOMPARE(why, QStringLiteral("disk full"));
    std::uint32_t printed = 0;
    QVERIFY(again.printNew(3, Paper::A4, [&](std::uint32_t b, QString &) { printed = b; return true; }, why, note));
    QVERIFY(note.isEmpty());
    QVERIFY(!listed(books, printed));
    QVERIFY(books.load(why) && listed(books, printed) && books.books().size() == 3);

    // Not a list of books at all: moved aside whole, read as empty, said.
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("tabro-kalvor books 2\nend\n");
    file.close();
    QVERIFY(!books.load(why));
    QVERIFY2(why.contains(QLatin1String("moved aside")), qPrintable(why));
    QVERIFY(books.books().empty());
    QVERIFY(!QFile::exists(books.path()) && QFile::exists(books.path() + QStringLiteral(".bad")));
}

namespace {
const QByteArray GoodLine = "book 222 1 a4 2025-12-09T17:16:40.000Z\n";
const QByteArray OtherLine = "book 223 4 letter 2025-12-09T17:17:40.000Z\n";
} // namespace

// One damaged line costs only itself: the other books stay in play, the list is mended, the
// list as it was kept beside it, and the host told which line.
void TestClaims::aDamagedLineIsSetAsideTheRestKept_data()
{
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<QString>("said");
    const QByteArray head = "tabro-kalvor books 1\n";
    QTest::newRow("a book number with an O") << head + GoodLine + "book 2O2 1 a4 2025-12-09T17:16:40.000Z\n" + OtherLine + "end\n"
                                             << QStringLiteral("line 3 is not a book");
    QTest::newRow("too many strips") << head + "book 224 501 a4 2025-12-09T17:16:40.000Z\n" + GoodLine + OtherLine + "end\n"
                                     << QStringLiteral("line 2 has no number of strips");
    QTest::newRow("no paper") << head + GoodLine + OtherLine + "book 224 1 a3 2025-12-09T17:16:40.000Z\nend\n"
                              << QStringLiteral("line 4 has no paper");
    QTest::newRow("no time") << head + GoodLine + "book 224 1 a4 yesterday\n" + OtherLine + "end\n"
                             << QStringLiteral("line 3 has no time");
    QTest::newRow("cut short") << head + GoodLine + OtherLine + "book 22" << QStringLiteral("the list ends early");
    QTest::newRow("cut after a line") << head + GoodLine + OtherLine << QStringLiteral("the list ends early");
}

void TestClaims::aDamagedLineIsSetAsideTheRestKept()
{
    QFETCH(QByteArray, list);
    QFETCH(QString, said);
    QTemporaryDir folder;
    BookList books(folder.path());
    QFile file(books.path());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(list);
    file.close();
    QString why;
    QVERIFY(!books.load(why));
    QVERIFY2(why.contains(said) && why.contains(QLatin1String("set aside")), qPrintable(why));
    QCOMPARE(books.books().size(), std::size_t(2));
    QVERIFY(listed(books, TicketCode{0, 0}.book) && listed(books, 1));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("tabro-kalvor books 1\n") + GoodLine + OtherLine + "end\n");
    file.close();
    QFile aside(books.path() + QStringLiteral(".bad"));
    QVERIFY(aside.open(QIODevice::ReadOnly));
    QCOMPARE(aside.readAll(), list);
    // Mended: the next reading finds nothing wrong.
    QVERIFY2(books.load(why), qPrintable(why));
    QCOMPARE(books.books().size(), std::size_t(2));
}

// Two runs printing at once: each adds its book to the list as it is on disk, not as it read
// it earlier, so neither book is lost.
void TestClaims::anotherRunsBooksAreKeptOnAdd()
{
    QTemporaryDir folder;
    BookList first(folder.path()), second(folder.path());
    QString why;
    QVERIFY(first.load(why) && second.load(why));
    QVERIFY2(second.add({5, 2, Paper::A4, 0}, why), qPrintable(why));
    QVERIFY2(first.add({6, 3, Paper::A4, 0}, why), qPrintable(why));
    BookList reader(folder.path());
    QVERIFY(reader.load(why));
    QVERIFY(listed(reader, 5) && listed(reader, 6));
}

// A book printed whose list cannot be written is printed, and the host is told that claims
// from it will ask; a damaged list found on the way is told too.
void TestClaims::aListThatCannotBeKeptIsSaid()
{
    QTemporaryDir folder;
    QFile blocker(folder.path() + QStringLiteral("/file"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    BookList books(folder.path() + QStringLiteral("/file/state")); // a folder where a file is
    QString why;
    QString note;
    bool printed = false;
    QVERIFY(books.printNew(2, Paper::A4, [&](std::uint32_t, QString &) { return printed = true; }, why, note));
    QVERIFY(printed);
    QVERIFY2(note.contains(QLatin1String("could not be kept")), qPrintable(note));

    BookList damaged(folder.path());
    QFile file(damaged.path());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("tabro-kalvor books 1\n") + GoodLine + "book 2O2\nend\n");
    file.close();
    note.clear();
    QVERIFY(damaged.printNew(2, Paper::A4, [](std::uint32_t, QString &) { return true; }, why, note));
    QVERIFY2(note.contains(QLatin1String("line 3 is not a book")), qPrintable(note));
    QVERIFY(damaged.load(why) && damaged.books().size() == 2);
}

// The running program's books: read off the window's thread, a question before the first
// reading waits for it, a damaged line said once, and another run's book seen when the
// folder changes.
void TestClaims::booksAreReadOffTheWindowsThread()
{
    QTemporaryDir folder;
    QFile file(folder.path() + QStringLiteral("/books.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("tabro-kalvor books 1\n") + GoodLine + "book 2O2\nend\n");
    file.close();
    BooksInPlay books(folder.path());
    QSignalSpy troubled(&books, &BooksInPlay::troubled);
    QSignalSpy changed(&books, &BooksInPlay::changed);
    QCOMPARE(int(books.standing(TicketCode{0, 5})), int(BookList::Standing::InPlay));
    QCOMPARE(int(books.standing(TicketCode{0, 6})), int(BookList::Standing::PastTheBook));
    QVERIFY(books.trouble().contains(QLatin1String("line 3 is not a book")));
    QTRY_COMPARE(troubled.size(), 1);

    BookList other(folder.path());
    QString why;
    QVERIFY2(other.add({1, 1, Paper::A4, 0}, why), qPrintable(why));
    QTRY_VERIFY(books.standing(TicketCode{1, 0}) == BookList::Standing::InPlay);
    QTRY_VERIFY(changed.size() >= 2); // the first reading, and this one: said on this thread
    QCOMPARE(troubled.size(), 1);
    QVERIFY(books.trouble().isEmpty());
}

QTEST_GUILESS_MAIN(TestClaims)
#include "tst_claims.moc"
