#include "claims.h"

#include <QtTest>

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
} // namespace

class TestClaims : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void verdicts_data();
    void verdicts();
    void badTicketsAreRefusedWithAWord_data();
    void badTicketsAreRefusedWithAWord();
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

    QTest::newRow("nothing called") << Rows << int(prizes::Tambola) << QList<int>{} << list({})
        << list({"Early Five: Not complete, 5 more of its numbers to come",
                       "Top Line: Not complete, missing 1, 12, 23, 34, 45",
                       "Middle Line: Not complete, missing 2, 50, 61, 72, 83",
                       "Bottom Line: Not complete, missing 3, 14, 25, 36, 90",
                       "Four Corners: Not complete, missing 1, 45, 3, 90",
                       "Full House: Not complete, missing 1, 12, 23, 34, 45, 2, 50, 61, 72, 83, 3, 14, 25, 36, 90"});
    QTest::newRow("valid by the last number") << Rows << int(prizes::bit(Prize::TopLine) | prizes::bit(Prize::EarlyFive))
        << QList<int>{1, 12, 77, 23, 34, 45} << list({})
        << list({"Early Five: Valid", "Top Line: Valid"});
    QTest::newRow("late after the next number") << Rows << int(prizes::bit(Prize::TopLine) | prizes::bit(Prize::EarlyFive))
        << QList<int>{1, 12, 23, 34, 45, 77} << list({})
        << list({"Early Five: Late, complete since call 5 (number 45)",
                       "Top Line: Late, complete since call 5 (number 45)"});
    QTest::newRow("four corners, the middle not needed") << Rows << int(prizes::bit(Prize::FourCorners))
        << QList<int>{90, 3, 1, 45} << list({}) << list({"Four Corners: Valid"});
    QTest::newRow("already won") << Rows << int(prizes::bit(Prize::TopLine)) << QList<int>{1, 12, 23, 34, 45, 77}
        << list({"top-line 5 AAA-BBBB-C"}) << list({"Top Line: Already won by AAA-BBBB-C at call 5 (number 45)"});
    QTest::newRow("won at this call: shared") << Rows << int(prizes::bit(Prize::TopLine)) << QList<int>{77, 1, 12, 23, 34, 45}
        << list({"top-line 6 AAA-BBBB-C"})
        << list({"Top Line: Valid, shared with AAA-BBBB-C, who completed it at the same call"});
    QTest::newRow("won at this call, not complete") << Rows << int(prizes::bit(Prize::TopLine)) << QList<int>{77, 1, 12, 23, 34}
        << list({"top-line 5 AAA-BBBB-C"}) << list({"Top Line: Already won by AAA-BBBB-C at call 5 (number 34)"});
    QTest::newRow("second full house after the first") << Rows << int(fullHouses) << (QList<int>{88} + all)
        << list({"full-house 1 AAA-BBBB-C"}) << list({"Second Full House: Valid"});
    QTest::newRow("full house shared at its call") << Rows << int(fullHouses) << (QList<int>{88} + all)
        << list({"full-house 16 AAA-BBBB-C"})
        << list({"Full House: Valid, shared with AAA-BBBB-C, who completed it at the same call"});
    QTest::newRow("ninety-ball lines") << Rows << int(prizes::NinetyBall) << QList<int>{2, 50, 61, 72, 83, 1, 12, 23, 34, 45}
        << list({})
        << list({"One Line: Late, complete since call 5 (number 83)", "Two Lines: Valid",
                       "Full House: Not complete, missing 3, 14, 25, 36, 90"});
    QTest::newRow("ninety-ball, one row short") << Rows << int(prizes::bit(Prize::TwoLines)) << QList<int>{2, 50, 61, 72, 1}
        << list({}) << list({"Two Lines: Not complete, missing 83, 12, 23, 34, 45"});
    QTest::newRow("typed without rows") << Flat << int(prizes::Tambola) << all << list({})
        << list({"Early Five: Late, complete since call 5 (number 45)",
                       "Top Line: Cannot tell, the rows were not typed (type them with / between the rows)",
                       "Middle Line: Cannot tell, the rows were not typed (type them with / between the rows)",
                       "Bottom Line: Cannot tell, the rows were not typed (type them with / between the rows)",
                       "Four Corners: Cannot tell, the rows were not typed (type them with / between the rows)",
                       "Full House: Valid"});
    QTest::newRow("typed in part") << QStringLiteral("4, 17, 28, 39, 40, 66") << int(prizes::bit(Prize::EarlyFive) | prizes::bit(Prize::FullHouse))
        << QList<int>{4, 17, 28, 39, 66} << list({})
        << list({"Early Five: Valid", "Full House: Cannot tell, only 6 of the ticket's fifteen numbers were typed"});
}

void TestClaims::verdicts()
{
    QFETCH(QString, typed);
    QFETCH(int, inPlay);
    QFETCH(QList<int>, called);
    QFETCH(QStringList, won);
    QFETCH(QStringList, expected);
    ClaimTicket ticket;
    QString why;
    QVERIFY2(ClaimTicket::read(typed, ticket, why), qPrintable(why));
    const std::vector<Call> calls = callsOf(called);
    QStringList said;
    for (const Verdict &verdict : checkClaim(ticket, prizes::Set(inPlay), calls, winsOf(won, calls)))
        said << verdict.text();
    QCOMPARE(said, expected);
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

QTEST_GUILESS_MAIN(TestClaims)
#include "tst_claims.moc"
