#include "ticketcode.h"

#include <QtTest>

#include <cmath>

class TestTickets : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyStripKeepsTheRules();
    void noNumberFavoursATicketOrARow();
    void goldenCodesGiveTheirTickets();
    void checkCatchesEveryMistypeAndSwap();
    void codesAsHostsTypeThem_data();
    void codesAsHostsTypeThem();
};

// Over 10,000 strips: each number once a strip, and every ticket keeps the rules; every
// count a ticket can have in a column (1, 2 or 3) comes out in every column.
void TestTickets::everyStripKeepsTheRules()
{
    std::array<std::array<int, 4>, Ticket::Columns> countsSeen{};
    for (std::uint32_t s = 0; s < 10000; ++s) {
        const Strip strip = makeStrip(s % 7, s);
        std::array<int, 91> seen{};
        for (const Ticket &ticket : strip) {
            QString why;
            QVERIFY2(ticketRulesKept(ticket, &why), qPrintable(QStringLiteral("strip %1: %2").arg(s).arg(why)));
            for (std::int16_t n : ticket.numbers())
                ++seen[n];
            for (int column = 0; column < Ticket::Columns; ++column) {
                int count = 0;
                for (int row = 0; row < Ticket::Rows; ++row)
                    count += ticket.cells[row][column] != 0 ? 1 : 0;
                ++countsSeen[column][count];
            }
        }
        for (int n = 1; n <= 90; ++n)
            QVERIFY2(seen[n] == 1, qPrintable(QStringLiteral("strip %1 holds %2 %3 times").arg(s).arg(n).arg(seen[n])));
    }
    for (int column = 0; column < Ticket::Columns; ++column)
        for (int count = 1; count <= 3; ++count)
            QVERIFY2(countsSeen[column][count] > 0, qPrintable(QStringLiteral("column %1 never holds %2").arg(column).arg(count)));
}

// Each number lands on each of the six tickets 1/6 of the time, and each cell is filled as
// often in the top, middle and bottom rows: chi-square tests at p = 0.001.
void TestTickets::noNumberFavoursATicketOrARow()
{
    const int strips = 12000;
    std::array<std::array<int, 6>, 91> onTicket{};
    std::array<std::array<int, Ticket::Rows>, Ticket::Columns> filled{};
    for (int s = 0; s < strips; ++s) {
        const Strip strip = makeStrip(1000, std::uint32_t(s));
        for (int t = 0; t < 6; ++t) {
            for (int row = 0; row < Ticket::Rows; ++row) {
                for (int column = 0; column < Ticket::Columns; ++column) {
                    const int n = strip[t].cells[row][column];
                    if (n != 0) {
                        ++onTicket[n][t];
                        ++filled[column][row];
                    }
                }
            }
        }
    }
    double worstTicket = 0;
    for (int n = 1; n <= 90; ++n) {
        double chi = 0;
        for (int t = 0; t < 6; ++t)
            chi += std::pow(onTicket[n][t] - strips / 6.0, 2) / (strips / 6.0);
        worstTicket = std::max(worstTicket, chi);
    }
    // 5 degrees of freedom; over 90 numbers the 0.001 / 90 point is about 30.
    QVERIFY2(worstTicket < 30, qPrintable(QString::number(worstTicket)));
    for (int column = 0; column < Ticket::Columns; ++column) {
        const double expected = (filled[column][0] + filled[column][1] + filled[column][2]) / 3.0;
        double chi = 0;
        for (int row = 0; row < Ticket::Rows; ++row)
            chi += std::pow(filled[column][row] - expected, 2) / expected;
        QVERIFY2(chi < 22, qPrintable(QStringLiteral("column %1: %2").arg(column).arg(chi))); // 2 d.f., 0.001 / 9
    }
}

// These codes were printed: they must give the same tickets in every later version.
void TestTickets::goldenCodesGiveTheirTickets()
{
    struct Golden { std::uint32_t book, serial; const char *code; const char *numbers; };
    const Golden golden[] = {
        {0, 0, "222-2222-2", "20 33 57 62 87 1 35 44 64 74 5 14 39 48 75"},
        {0, 5, "222-2228-R", "11 21 55 71 82 19 30 40 56 77 2 27 47 59 69"},
        {1, 6, "223-2229-Y", "7 13 20 72 80 14 21 32 73 81 9 23 44 58 60"},
        {24388, 707280, "ZZZ-ZZZZ-N", "5 16 22 51 76 18 23 30 66 77 33 48 55 79 81"},
        {4321, 98765, "872-73FQ-Q", "18 34 46 63 81 19 29 39 56 70 3 49 65 79 89"},
    };
    for (const Golden &g : golden) {
        const TicketCode code{g.book, g.serial};
        QCOMPARE(code.text(), QLatin1String(g.code));
        QString numbers;
        for (std::int16_t n : code.ticket().numbers())
            numbers += QString::number(n) + QLatin1Char(' ');
        QCOMPARE(numbers.trimmed(), QLatin1String(g.numbers));
    }
}

void TestTickets::checkCatchesEveryMistypeAndSwap()
{
    const QString alphabet = QStringLiteral("2346789ABCDEFGHJKMNPQRTUVWXYZ");
    for (std::uint32_t k = 0; k < 200; ++k) {
        const TicketCode code{(k * 7919u) % TicketCode::Books, (k * 104729u) % TicketCode::Serials};
        QString plain = code.text().remove(QLatin1Char('-'));
        TicketCode read;
        QString why;
        QVERIFY(TicketCode::parse(plain, read, why));
        QVERIFY(read == code);
        for (int i = 0; i < plain.size(); ++i) {
            for (QChar c : alphabet) {
                if (c == plain[i])
                    continue;
                QString changed = plain;
                changed[i] = c;
                QVERIFY2(!TicketCode::parse(changed, read, why), qPrintable(changed));
            }
            if (i + 1 < plain.size() && plain[i] != plain[i + 1]) {
                QString swapped = plain;
                std::swap(swapped[i], swapped[i + 1]);
                QVERIFY2(!TicketCode::parse(swapped, read, why), qPrintable(swapped));
            }
        }
    }
}

void TestTickets::codesAsHostsTypeThem_data()
{
    const QString code = TicketCode{4321, 98765}.text();
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("reason"); // empty: read as the code
    QTest::newRow("as printed") << code << QString();
    QTest::newRow("lower case, no dashes") << code.toLower().remove(QLatin1Char('-')) << QString();
    QTest::newRow("spaces") << QString(code).replace(QLatin1Char('-'), QLatin1Char(' ')) << QString();
    QTest::newRow("a zero") << QStringLiteral("0AB-CDEF-G") << QStringLiteral("'0'");
    QTest::newRow("a letter O") << QStringLiteral("OAB-CDEF-G") << QStringLiteral("'O'");
    QTest::newRow("too short") << QStringLiteral("AB-CDEF-G") << QStringLiteral("not 7");
    QTest::newRow("too long") << QStringLiteral("AAB-CDEF-GH") << QStringLiteral("not 9");
}

void TestTickets::codesAsHostsTypeThem()
{
    QFETCH(QString, typed);
    QFETCH(QString, reason);
    TicketCode read;
    QString why;
    QCOMPARE(TicketCode::parse(typed, read, why), reason.isEmpty());
    if (reason.isEmpty())
        QVERIFY((read == TicketCode{4321, 98765}));
    else
        QVERIFY2(why.contains(reason), qPrintable(why));
}

QTEST_GUILESS_MAIN(TestTickets)
#include "tst_tickets.moc"
