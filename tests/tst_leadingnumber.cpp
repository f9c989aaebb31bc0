// SPDX-License-Identifier: MIT
#include "leadingnumber.h"

#include <cmath>
#include <QTest>

class TestLeadingNumber : public QObject
{
    Q_OBJECT

private slots:
    void reads_data();
    void reads();
    void outOfRange();
};

void TestLeadingNumber::reads_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");

    QTest::newRow("whole number") << "200" << 200.0;
    QTest::newRow("negative") << "-3" << -3.0;
    QTest::newRow("zero") << "0" << 0.0;
    QTest::newRow("letters only") << "abc" << 0.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("blanks only") << " \t\n" << 0.0;
    QTest::newRow("leading blank, trailing letter") << " 12x" << 12.0;
    QTest::newRow("plus sign") << "+7" << 7.0;
    QTest::newRow("sign without digits") << "-" << 0.0;
    QTest::newRow("blanks inside the digits") << "1 2\t3\n4" << 1234.0;
    QTest::newRow("blank after the sign") << "- 3" << -3.0;
    QTest::newRow("two signs") << "--3" << 0.0;
    QTest::newRow("carriage return is no blank") << "\r5" << 0.0;
    QTest::newRow("decimal fraction") << "3.25" << 3.25;
    QTest::newRow("point first") << ".5" << 0.5;
    QTest::newRow("point last") << "5." << 5.0;
    QTest::newRow("point alone") << "." << 0.0;
    QTest::newRow("second point stops") << "1.2.3" << 1.2;
    QTest::newRow("comma stops") << "1,5" << 1.0;
    QTest::newRow("exponent E") << "1.5E3" << 1500.0;
    QTest::newRow("exponent lower-case e") << "2e2" << 200.0;
    QTest::newRow("exponent D") << "1D2" << 100.0;
    QTest::newRow("exponent lower-case d") << "3d1" << 30.0;
    QTest::newRow("negative exponent") << "25E-1" << 2.5;
    QTest::newRow("exponent with plus") << "4E+1" << 40.0;
    QTest::newRow("exponent with blanks") << "1 E - 2" << 0.01;
    QTest::newRow("exponent without digits") << "12E" << 12.0;
    QTest::newRow("exponent sign without digits") << "12E+x" << 12.0;
    QTest::newRow("exponent without mantissa") << "E5" << 0.0;
    QTest::newRow("space then three digits") << " 999" << 999.0;
    QTest::newRow("four-character window") << " 123" << 123.0;
    QTest::newRow("leading zeros") << "007" << 7.0;
    QTest::newRow("hex prefix is not read") << "&H10" << 0.0;
    QTest::newRow("full-width digits are not digits") << QString::fromUtf8("\uFF11\uFF12") << 0.0;
}

void TestLeadingNumber::reads()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    QCOMPARE(leadingNumber(text), expected);
}

void TestLeadingNumber::outOfRange()
{
    QCOMPARE(leadingNumber(u"1E400"), HUGE_VAL);
    QCOMPARE(leadingNumber(u"-1E400"), -HUGE_VAL);
    QCOMPARE(leadingNumber(u"1E-400"), 0.0);
    QCOMPARE(leadingNumber(u"0.000001E-320"), 0.0);
    QCOMPARE(leadingNumber(QString("1") + QString(400, u'0')), HUGE_VAL);
    QCOMPARE(leadingNumber(QString("1") + QString(400, u'0') + "E-395"), 1e5);
    QCOMPARE(leadingNumber(u"1E00000000000000000001"), 10.0);
    QCOMPARE(leadingNumber(u"1E99999999999999999999"), HUGE_VAL);
}

QTEST_GUILESS_MAIN(TestLeadingNumber)
#include "tst_leadingnumber.moc"
