// SPDX-License-Identifier: MIT
#include "halloffamelines.h"
#include "halloffameranking.h"

#include <QTest>

namespace
{

// Six entries whose places hold the given tries.
QStringList withTries(const QList<int> &tries)
{
    QStringList entries { "[Tilvane]" };
    for (int place = 1; place <= 5; ++place)
        entries.append(
            QStringLiteral("No%1 P%1 Time 00:01:00 Trys %2").arg(place).arg(tries.at(place - 1)));
    return entries;
}

} // namespace

class TestHallOfFameRanking : public QObject
{
    Q_OBJECT

private slots:
    void labels();
    void triesOf_data();
    void triesOf();
    void findPlace_data();
    void findPlace();
    void lineWithoutSpaceKeepsThePreviousValue();
    void entered_data();
    void entered();
    void annThenBob();
};

void TestHallOfFameRanking::labels()
{
    const QStringList expected { "No1 ", "No 2", "No 3", "No 4", "No5 " };
    for (int entry = 1; entry <= 5; ++entry)
        QCOMPARE(HallOfFameRanking::label(entry), expected.at(entry - 1));
}

void TestHallOfFameRanking::triesOf_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<double>("previous");
    QTest::addColumn<double>("expected");

    QTest::newRow("default line") << "No1 Fred1 Time 00:00:00 Trys 999" << 5.0 << 999.0;
    QTest::newRow("two digits") << "No 2Bob Time 00:05:00 Trys 80" << 5.0 << 80.0;
    QTest::newRow("four digits read as three") << "No1 A Time 00:00:01 Trys 1234" << 5.0 << 123.0;
    QTest::newRow("only the last space counts") << "No1 A Time 00:00:01 Trys 12 x" << 5.0 << 0.0;
    QTest::newRow("space at the end") << "No1 A Trys 12 " << 5.0 << 0.0;
    QTest::newRow("letters after the space") << "No1 Fred" << 5.0 << 0.0;
    QTest::newRow("number after the last space only") << "7 7" << 5.0 << 7.0;
    QTest::newRow("decimal") << "Trys 1.5" << 5.0 << 1.5;
    QTest::newRow("sign") << "Trys -12" << 5.0 << -12.0;
    QTest::newRow("no space keeps previous") << "Trys999" << 5.0 << 5.0;
    QTest::newRow("empty line keeps previous") << "" << 42.0 << 42.0;
    QTest::newRow("tab is not a space") << "Trys\t12" << 3.0 << 3.0;
    QTest::newRow("header") << "[Tilvane]" << 7.0 << 7.0;
}

void TestHallOfFameRanking::triesOf()
{
    QFETCH(QString, line);
    QFETCH(double, previous);
    QFETCH(double, expected);
    QCOMPARE(HallOfFameRanking::triesOf(line, previous), expected);
}

void TestHallOfFameRanking::findPlace_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<double>("tries");
    QTest::addColumn<int>("place");

    const QStringList places = withTries({ 10, 20, 30, 40, 50 });
    QTest::newRow("place 1") << places << 9.0 << 1;
    QTest::newRow("place 2") << places << 19.0 << 2;
    QTest::newRow("place 3") << places << 29.0 << 3;
    QTest::newRow("place 4") << places << 39.0 << 4;
    QTest::newRow("place 5") << places << 49.0 << 5;
    QTest::newRow("none") << places << 51.0 << 0;
    QTest::newRow("equal to the last goes nowhere") << places << 50.0 << 0;
    QTest::newRow("equal tries go below") << withTries({ 50, 60, 70, 80, 90 }) << 50.0 << 2;
    QTest::newRow("defaults take anything below 999")
        << HallOfFameLines::defaultLines() << 998.0 << 1;
    QTest::newRow("999 beats no default") << HallOfFameLines::defaultLines() << 999.0 << 0;
    QTest::newRow("four digits read as three")
        << withTries({ 10, 1234, 2000, 3000, 4000 }) << 124.0 << 3;
    QTest::newRow("not sorted: first place that is beaten")
        << withTries({ 5, 100, 3, 200, 1 }) << 50.0 << 2;
    QTest::newRow("line without space at first is 0, never beaten")
        << QStringList { "[T]", "NoSpace", "", "x", "y", "z" } << 1.0 << 0;
    QTest::newRow("place without space is 0, results go below")
        << QStringList { "[T]", "Broken", "No 2 B Trys 20", "", "", "" } << 1.0 << 2;
    QTest::newRow("too few entries") << QStringList { "[T]", "No1 A Trys 5" } << 4.0 << 1;
    QTest::newRow("header is never read")
        << QStringList { "[T] 1", "", "", "", "", "" } << 0.5 << 0;
}

void TestHallOfFameRanking::findPlace()
{
    QFETCH(QStringList, entries);
    QFETCH(double, tries);
    QFETCH(int, place);
    HallOfFameRanking ranking;
    QCOMPARE(ranking.findPlace(entries, tries), place);
}

void TestHallOfFameRanking::lineWithoutSpaceKeepsThePreviousValue()
{
    HallOfFameRanking ranking;
    QCOMPARE(ranking.findPlace(withTries({ 10, 20, 30, 40, 50 }), 100.0), 0);

    QStringList broken = withTries({ 10, 20, 30, 40, 50 });
    broken[2] = "NoSpace";
    broken[4] = "";
    QCOMPARE(ranking.findPlace(broken, 25.0), 3);
    QCOMPARE(ranking.placeTries(2), 20.0);
    QCOMPARE(ranking.placeTries(4), 40.0);
    QCOMPARE(ranking.findPlace(broken, 15.0), 2);

    // A fresh ranking knows no earlier value.
    HallOfFameRanking fresh;
    QCOMPARE(fresh.findPlace(broken, 25.0), 3);
    QCOMPARE(fresh.placeTries(2), 0.0);
    QCOMPARE(fresh.findPlace(broken, 15.0), 3);
}

void TestHallOfFameRanking::entered_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<int>("place");
    QTest::addColumn<QString>("name");
    QTest::addColumn<double>("tries");
    QTest::addColumn<QStringList>("expected");

    const QStringList d = HallOfFameLines::defaultLines();
    const QString row = QStringLiteral(" Time 00:01:02 Trys ");
    QTest::newRow("place 1") << d << 1 << "Ann" << 57.0
                             << QStringList { d[0], "No1 Ann" + row + "57",
                                    "No 2 Fred1 Time 00:00:00 Trys 999",
                                    "No 3 Fred2 Time 00:00:00 Trys 999",
                                    "No 4 Fred3 Time 00:00:00 Trys 999",
                                    "No5  Fred4 Time 00:00:00 Trys 999" };
    QTest::newRow("place 3") << d << 3 << "Ann" << 57.0
                             << QStringList { d[0], d[1], d[2], "No 3Ann" + row + "57",
                                    "No 4 Fred3 Time 00:00:00 Trys 999",
                                    "No5  Fred4 Time 00:00:00 Trys 999" };
    QTest::newRow("place 5") << d << 5 << "Ann" << 57.0
                             << QStringList { d[0], d[1], d[2], d[3], d[4],
                                    "No5 Ann" + row + "57" };
    QTest::newRow("empty name") << d << 1 << "" << 3.0
                                << QStringList { d[0], "No1 " + row + "3",
                                       "No 2 Fred1 Time 00:00:00 Trys 999",
                                       "No 3 Fred2 Time 00:00:00 Trys 999",
                                       "No 4 Fred3 Time 00:00:00 Trys 999",
                                       "No5  Fred4 Time 00:00:00 Trys 999" };
    QTest::newRow("name with line breaks stays on one line")
        << d << 5 << "A\r\nNo1 X" << 7.0
        << QStringList { d[0], d[1], d[2], d[3], d[4], "No5 A  No1 X" + row + "7" };
    QTest::newRow("short lines move down as nothing")
        << QStringList { "[T]", "ab", "", "No3 C Trys 3", "x", "y" } << 1 << "Z" << 1.0
        << QStringList { "[T]", "No1 Z" + row + "1", "No 2", "No 3", "No 4 C Trys 3", "No5 " };
    QTest::newRow("header kept as it is")
        << QStringList { "[Anything, really]", "", "", "", "", "" } << 2 << "Z" << 1.0
        << QStringList { "[Anything, really]", "", "No 2Z" + row + "1", "No 3", "No 4", "No5 " };
    QTest::newRow("large tries without exponent")
        << d << 5 << "Z" << 12345678901.0
        << QStringList { d[0], d[1], d[2], d[3], d[4], "No5 Z" + row + "12345678901" };
    const QString emoji = QString::fromUtf8("\U0001F600");
    QTest::newRow("emoji counts as one character when moved")
        << QStringList { d[0], "A" + emoji + "B Ann Trys 5", emoji + emoji + emoji + "Bob Trys 6",
               d[3], d[4], d[5] }
        << 1 << "Z" << 1.0
        << QStringList { d[0], "No1 Z" + row + "1", "No 2 Ann Trys 5", "No 3Bob Trys 6",
               "No 4 Fred3 Time 00:00:00 Trys 999", "No5  Fred4 Time 00:00:00 Trys 999" };
    // 4096 bytes each: the longest lines a file gives.
    const QString xs(4096 - 13, u'x');
    const QString atBound = "No1 " + xs + " Trys 999";
    const QString endsInTwoBytes = "No1 " + xs.first(xs.size() - 1) + " Trys 99" + QChar(0xe9);
    QTest::newRow("line at the length bound moved down is cut at once")
        << QStringList { d[0], atBound, endsInTwoBytes, d[3], d[4], d[5] } << 1 << "Z" << 1.0
        << QStringList { d[0], "No1 Z" + row + "1", "No 2 " + xs + " Trys 99",
               "No 3 " + xs.first(xs.size() - 1) + " Trys 99", "No 4 Fred3 Time 00:00:00 Trys 999",
               "No5  Fred4 Time 00:00:00 Trys 999" };
    QTest::newRow("no place changes nothing") << d << 0 << "Z" << 1.0 << d;
    QTest::newRow("place beyond 5 changes nothing") << d << 6 << "Z" << 1.0 << d;
}

void TestHallOfFameRanking::entered()
{
    QFETCH(QStringList, entries);
    QFETCH(int, place);
    QFETCH(QString, name);
    QFETCH(double, tries);
    QFETCH(QStringList, expected);
    const QStringList result = HallOfFameRanking::entered(entries, place, name, "00:01:02", tries);
    QCOMPARE(result, expected);
    // What is shown now is what the next start reads back.
    QCOMPARE(HallOfFameLines::parseLines(HallOfFameLines::formatLines(result)), result);
}

void TestHallOfFameRanking::annThenBob()
{
    HallOfFameRanking ranking;
    QStringList entries = HallOfFameLines::defaultLines();

    const int annPlace = ranking.findPlace(entries, 57);
    QCOMPARE(annPlace, 1);
    entries = HallOfFameRanking::entered(entries, annPlace, "Ann", "00:04:10", 57);
    QCOMPARE(entries,
        (QStringList { "[Tilvane]", "No1 Ann Time 00:04:10 Trys 57",
            "No 2 Fred1 Time 00:00:00 Trys 999", "No 3 Fred2 Time 00:00:00 Trys 999",
            "No 4 Fred3 Time 00:00:00 Trys 999", "No5  Fred4 Time 00:00:00 Trys 999" }));

    const int bobPlace = ranking.findPlace(entries, 80);
    QCOMPARE(bobPlace, 2);
    entries = HallOfFameRanking::entered(entries, bobPlace, "Bob", "00:05:00", 80);
    QCOMPARE(entries,
        (QStringList { "[Tilvane]", "No1 Ann Time 00:04:10 Trys 57",
            "No 2Bob Time 00:05:00 Trys 80", "No 32 Fred1 Time 00:00:00 Trys 999",
            "No 43 Fred2 Time 00:00:00 Trys 999", "No5 4 Fred3 Time 00:00:00 Trys 999" }));

    QCOMPARE(ranking.findPlace(entries, 1000), 0);
    for (int place = 1; place <= 5; ++place)
        QCOMPARE(
            ranking.placeTries(place), (QList<double> { 57, 80, 999, 999, 999 }).at(place - 1));
}

QTEST_GUILESS_MAIN(TestHallOfFameRanking)
#include "tst_halloffameranking.moc"
