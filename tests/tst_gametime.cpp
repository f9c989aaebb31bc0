// SPDX-License-Identifier: MIT
#include "gametime.h"
#include "summary.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <QTest>

class TestGameTime : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void wholeSecondsOfDay();
    void elapsed_data();
    void elapsed();
    void summary_data();
    void summary();
    void timeOfDayInEveryLocale_data();
    void timeOfDayInEveryLocale();
};

void TestGameTime::wholeSecondsOfDay()
{
    const QDateTime moment(QDate(2026, 3, 1), QTime(10, 59, 30, 999));
    QCOMPARE(secondsOfDay(moment), 10 * 3600 + 59 * 60 + 30);
    QCOMPARE(formatHms(secondsOfDay(moment)), QStringLiteral("10:59:30"));
}

void TestGameTime::elapsed_data()
{
    QTest::addColumn<QTime>("start");
    QTest::addColumn<QTime>("end");
    QTest::addColumn<QString>("played");
    QTest::newRow("minutes") << QTime(10, 59, 30) << QTime(11, 2, 5) << "00:02:35";
    QTest::newRow("same second") << QTime(9, 0, 0) << QTime(9, 0, 0) << "00:00:00";
    QTest::newRow("across midnight") << QTime(23, 59, 0) << QTime(0, 1, 0) << "00:02:00";
    QTest::newRow("hours") << QTime(0, 0, 1) << QTime(23, 59, 59) << "23:59:58";
}

void TestGameTime::elapsed()
{
    QFETCH(QTime, start);
    QFETCH(QTime, end);
    QFETCH(QString, played);
    const int seconds
        = elapsedSeconds(start.msecsSinceStartOfDay() / 1000, end.msecsSinceStartOfDay() / 1000);
    QCOMPARE(formatHms(seconds), played);
}

void TestGameTime::summary_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    QTest::newRow("US English")
        << "en_US"
        << "Time Started 2:05:09 PM End Time 2:07:40 PM\r\nTotal Time Playing For 00:02:31 "
           "With 18 Trys";
    QTest::newRow("German") << "de_DE"
                            << "Time Started 14:05:09 End Time 14:07:40\r\nTotal Time Playing "
                               "For 00:02:31 With 18 Trys";
    QTest::newRow("zone in brackets") << "es_ES"
                                      << "Time Started 14:05:09 End Time 14:07:40\r\nTotal Time "
                                         "Playing For 00:02:31 With 18 Trys";
    QTest::newRow("day period after a comma")
        << "sq_AL"
        << "Time Started 2:05:09 E PASDITES End Time 2:07:40 E PASDITES\r\nTotal Time Playing "
           "For 00:02:31 With 18 Trys";
    QTest::newRow("flexible day period")
        << "zh_TW"
        << "Time Started 下午2:05:09 End Time 下午2:07:40\r\nTotal "
           "Time Playing For 00:02:31 With 18 Trys";
}

void TestGameTime::summary()
{
    QFETCH(QString, locale);
    QFETCH(QString, text);
    const int start = QTime(14, 5, 9).msecsSinceStartOfDay() / 1000;
    const int now = QTime(14, 7, 40).msecsSinceStartOfDay() / 1000;
    QCOMPARE(summaryText(QLocale(locale), start, now, now - start, 18), text);
}

void TestGameTime::timeOfDayInEveryLocale_data()
{
    QTest::addColumn<QLocale>("locale");
    for (const QLocale &locale :
        QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory))
        QTest::newRow(qPrintable(locale.bcp47Name())) << locale;
}

// The zone goes with the brackets and separators around it; what is left
// names hour, minute and second, and no letter Qt would print as it stands.
void TestGameTime::timeOfDayInEveryLocale()
{
    QFETCH(QLocale, locale);
    const QString format = timeOfDayFormat(locale);
    QString fields = format;
    fields.remove(QRegularExpression(QStringLiteral("'[^']*'|[^A-Za-z]")));
    const QRegularExpression known(QStringLiteral("^(h+|H+|m+|s+|z+|[Aa][Pp]?)*$"));
    QVERIFY2(known.match(fields).hasMatch(), qPrintable(format));
    QVERIFY2(fields.contains(QRegularExpression(QStringLiteral("[hH]"))) && fields.contains(u'm')
            && fields.contains(u's'),
        qPrintable(format));
    const QString text = locale.toString(QTime(17, 4, 7), format);
    const QRegularExpression stray(
        QStringLiteral(R"(^[\s\p{P}]|[\s,;:]$|\d[.:]$|\s\s|[(\[]\s*[)\]]|[,;:]\s*[,;:])"));
    QVERIFY2(!stray.match(text).hasMatch(), qPrintable(format + QStringLiteral(" gives ") + text));
}

QTEST_GUILESS_MAIN(TestGameTime)
#include "tst_gametime.moc"
