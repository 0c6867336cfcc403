#include "callorder.h"
#include "clockrandomsource.h"
#include "fakes.h"

#include <QtTest>

#include <algorithm>
#include <cmath>

class TestCallOrder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void preparedOrderIsAPermutationWithTheWholePoolPlaced();
    void proposalRoundsHalfToEven_data();
    void proposalRoundsHalfToEven();
    void unitFloatsNeverReachOne();
    void repeatedProposalDoesNotAdvance();
    void searchReseedsOncePerGame();
    void proposalWeightsMatchTheRounding();
    void twoGamesInARowGetDifferentOrders();
    void clockSourceProposesWithTheRoundingWeights();
};

void TestCallOrder::preparedOrderIsAPermutationWithTheWholePoolPlaced()
{
    ScriptedRandom random(7);
    GameState state;
    state.callpos = 55;
    state.callcount = 54;
    state.running = 1;
    state.zoomflag = 1;
    state.soundflag = 0;
    for (int game = 0; game < 20; ++game) {
        initialization(state, random);
        QCOMPARE(state.callpos, 1);
        QCOMPARE(state.callcount, 0);
        std::array<int, 91> seen{};
        for (int i = 1; i <= 90; ++i) {
            QVERIFY(state.callorder[i] >= 1 && state.callorder[i] <= 90);
            ++seen[state.callorder[i]];
        }
        for (int n = 1; n <= 90; ++n) {
            QCOMPARE(seen[n], 1);
            QCOMPARE(state.pool[n], GameState::Marker);
        }
    }
    // Preparing a game leaves the run control and the switches alone.
    QCOMPARE(state.running, std::int16_t(1));
    QCOMPARE(state.zoomflag, 1);
    QCOMPARE(state.soundflag, std::int16_t(0));
}

void TestCallOrder::proposalRoundsHalfToEven_data()
{
    QTest::addColumn<float>("r");
    QTest::addColumn<int>("expected");
    QTest::newRow("zero proposes 1") << 0.0f << 1;
    QTest::newRow("half gives 45.5, rounded to even 46") << 0.5f << 46;
    QTest::newRow("largest float below 1 proposes 90") << std::nextafter(1.0f, 0.0f) << 90;
    QTest::newRow("just below the 1/2 boundary stays 1") << std::nextafter(0.5f / 89.0f, 0.0f) << 1;
    QTest::newRow("just above the 89.5 boundary is 90") << std::nextafter(88.5f / 89.0f, 1.0f) << 90;
    QTest::newRow("a quarter gives 23.25") << 0.25f << 23;
}

void TestCallOrder::proposalRoundsHalfToEven()
{
    QFETCH(float, r);
    QFETCH(int, expected);
    QCOMPARE(int(proposal(r)), expected);
}

void TestCallOrder::unitFloatsNeverReachOne()
{
    QCOMPARE(ClockRandomSource::toUnit(0xFFFFFFFFu), std::nextafter(1.0f, 0.0f));
    QCOMPARE(ClockRandomSource::toUnit(0u), 0.0f);
    QCOMPARE(ClockRandomSource::toUnit(0x80000000u), 0.5f);
    ClockRandomSource random;
    for (int i = 0; i < 100000; ++i) {
        const float r = random.next();
        QVERIFY(r >= 0.0f && r < 1.0f);
    }
}

void TestCallOrder::repeatedProposalDoesNotAdvance()
{
    ScriptedRandom random;
    // 46 is placed first; the next nine draws propose it again and must all be rejected.
    random.script = {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.0f};
    GameState state;
    initialization(state, random);
    QCOMPARE(int(state.callorder[1]), 46);
    QCOMPARE(int(state.callorder[2]), 1);
    QVERIFY(random.draws > 90 + 9);
}

void TestCallOrder::searchReseedsOncePerGame()
{
    ScriptedRandom random;
    GameState state;
    initialization(state, random);
    initialization(state, random);
    QCOMPARE(random.reseeds, 2);
}

// Counts every proposal made while preparing many orders from a fixed seed.
void TestCallOrder::proposalWeightsMatchTheRounding()
{
    class Recording : public ScriptedRandom
    {
    public:
        using ScriptedRandom::ScriptedRandom;
        float next() override
        {
            const float r = ScriptedRandom::next();
            ++counts[proposal(r)];
            return r;
        }
        std::array<long, 91> counts{};
    };
    Recording random(2024);
    GameState state;
    for (int game = 0; game < 2000; ++game)
        initialization(state, random);

    const double draws = random.draws;
    for (int n = 1; n <= 90; ++n) {
        const double p = (n == 1 || n == 90) ? 0.5 / 89 : 1.0 / 89;
        const double sigma = std::sqrt(draws * p * (1 - p));
        const double off = std::abs(double(random.counts[n]) - draws * p);
        QVERIFY2(off < 5 * sigma, qPrintable(QStringLiteral("number %1 proposed %2 times of %3 draws")
                                                 .arg(n).arg(random.counts[n]).arg(draws)));
    }
}

void TestCallOrder::twoGamesInARowGetDifferentOrders()
{
    ClockRandomSource random;
    GameState first;
    GameState second;
    initialization(first, random);
    initialization(second, random);
    QVERIFY(first.callorder != second.callorder);

    // Two sources made in the same instant still start apart.
    ClockRandomSource a;
    ClockRandomSource b;
    initialization(first, a);
    initialization(second, b);
    QVERIFY(first.callorder != second.callorder);
}

// The program's own generator, as a game seeds it: its proposals follow the same weights.
void TestCallOrder::clockSourceProposesWithTheRoundingWeights()
{
    ClockRandomSource random;
    std::array<long, 91> counts{};
    const long draws = 900000;
    for (long i = 0; i < draws; ++i)
        ++counts[proposal(random.next())];
    QCOMPARE(counts[0], 0L);
    for (int n = 1; n <= 90; ++n) {
        const double p = (n == 1 || n == 90) ? 0.5 / 89 : 1.0 / 89;
        const double sigma = std::sqrt(double(draws) * p * (1 - p));
        QVERIFY2(std::abs(double(counts[n]) - double(draws) * p) < 5 * sigma,
                 qPrintable(QStringLiteral("number %1 proposed %2 times").arg(n).arg(counts[n])));
    }
}

QTEST_GUILESS_MAIN(TestCallOrder)
#include "tst_callorder.moc"
