// SPDX-License-Identifier: MIT
#include "permutation.h"
#include "seededrandom.h"

#include <QSet>
#include <QTest>

namespace
{

// Serves the given values in order and counts the draws.
struct Script {
    QList<double> values;
    int draws = 0;
    double operator()()
    {
        ++draws;
        return values.at(draws - 1);
    }
};

} // namespace

class TestPermutation : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void roundsHalvesToEven_data();
    void roundsHalvesToEven();
    void scriptedDraws_data();
    void scriptedDraws();
    void nonPositiveCountDrawsNothing();
    void everyNumberOnce_data();
    void everyNumberOnce();
    void endValuesComeLate();
    void sameTimerStillGivesFreshDeals();
    void reproducibleForOneSaltAndTimer();
};

void TestPermutation::roundsHalvesToEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("rounded");
    QTest::newRow("1.5 up") << 1.5 << 2;
    QTest::newRow("2.5 down") << 2.5 << 2;
    QTest::newRow("3.5 up") << 3.5 << 4;
    QTest::newRow("just below half") << 2.4999999 << 2;
    QTest::newRow("just above half") << 2.5000001 << 3;
    QTest::newRow("exact") << 7.0 << 7;
}

void TestPermutation::roundsHalvesToEven()
{
    QFETCH(double, value);
    QFETCH(int, rounded);
    QCOMPARE(roundHalfEven(value), rounded);
}

void TestPermutation::scriptedDraws_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<QList<double>>("values");
    QTest::addColumn<QList<int>>("expected");
    QTest::addColumn<int>("draws");
    QTest::newRow("N=1 one draw") << 1 << QList<double> { 0.73 } << QList<int> { 1 } << 1;
    QTest::newRow("N=2 low first")
        << 2 << QList<double> { 0.49, 0.2, 0.9 } << QList<int> { 1, 2 } << 3;
    QTest::newRow("N=2 half goes high")
        << 2 << QList<double> { 0.5, 0.1 } << QList<int> { 2, 1 } << 2;
    QTest::newRow("N=3 1.5 to 2, 2.5 to 2 redrawn")
        << 3 << QList<double> { 0.25, 0.75, 0.0, 0.99 } << QList<int> { 2, 1, 3 } << 4;
    QTest::newRow("N=5 3.5 to 4") << 5 << QList<double> { 0.625, 0.0, 0.25, 0.5, 0.99 }
                                  << QList<int> { 4, 1, 2, 3, 5 } << 5;
    QTest::newRow("taken value drawn again")
        << 2 << QList<double> { 0.9, 0.8, 0.7, 0.1 } << QList<int> { 2, 1 } << 4;
}

void TestPermutation::scriptedDraws()
{
    QFETCH(int, n);
    QFETCH(QList<double>, values);
    QFETCH(QList<int>, expected);
    QFETCH(int, draws);
    Script script { values };
    QCOMPARE(drawPermutation(n, std::ref(script)), expected);
    QCOMPARE(script.draws, draws);
}

void TestPermutation::nonPositiveCountDrawsNothing()
{
    int draws = 0;
    const auto next = [&] {
        ++draws;
        return 0.5;
    };
    QVERIFY(drawPermutation(0, next).isEmpty());
    QVERIFY(drawPermutation(-4, next).isEmpty());
    QCOMPARE(draws, 0);
}

void TestPermutation::everyNumberOnce_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<quint64>("salt");
    for (int n : { 16, 36, 100, 200 })
        for (quint64 salt : { 1ULL, 2ULL, 0xdeadbeefULL })
            QTest::addRow("N=%d salt=%llu", n, salt) << n << salt;
}

void TestPermutation::everyNumberOnce()
{
    QFETCH(int, n);
    QFETCH(quint64, salt);
    SeededRandom random(salt);
    random.reseed(43200.5f);
    const QList<int> drawn = drawPermutation(n, [&] { return random.next(); });
    QCOMPARE(drawn.size(), n);
    const QSet<int> distinct(drawn.begin(), drawn.end());
    QCOMPARE(distinct.size(), n);
    QCOMPARE(*std::min_element(drawn.begin(), drawn.end()), 1);
    QCOMPARE(*std::max_element(drawn.begin(), drawn.end()), n);
}

// The end values get half a unit of the range each, so over many deals they
// are drawn later than the middle ones.
void TestPermutation::endValuesComeLate()
{
    SeededRandom random(7);
    double endPositions = 0;
    double middlePositions = 0;
    const int deals = 400;
    for (int deal = 0; deal < deals; ++deal) {
        random.reseed(1.0f);
        const QList<int> drawn = drawPermutation(100, [&] { return random.next(); });
        endPositions += drawn.indexOf(1) + drawn.indexOf(100);
        middlePositions += drawn.indexOf(50) + drawn.indexOf(51);
    }
    QVERIFY2(endPositions > middlePositions * 1.2,
        qPrintable(QStringLiteral("%1 vs %2").arg(endPositions).arg(middlePositions)));
}

void TestPermutation::sameTimerStillGivesFreshDeals()
{
    SeededRandom random(99);
    const auto next = [&] { return random.next(); };
    random.reseed(50709.5f);
    const QList<int> first = drawPermutation(200, next);
    random.reseed(50709.5f);
    const QList<int> second = drawPermutation(200, next);
    QVERIFY(first != second);

    SeededRandom otherProcess(100);
    otherProcess.reseed(50709.5f);
    QVERIFY(drawPermutation(200, [&] { return otherProcess.next(); }) != first);
}

void TestPermutation::reproducibleForOneSaltAndTimer()
{
    SeededRandom a(0x5eed);
    SeededRandom b(0x5eed);
    a.reseed(50709.0f);
    b.reseed(50709.0f);
    for (int i = 0; i < 1000; ++i) {
        const double u = a.next();
        QVERIFY(u >= 0.0 && u < 1.0);
        QCOMPARE(u, b.next());
    }
}

QTEST_GUILESS_MAIN(TestPermutation)
#include "tst_permutation.moc"
