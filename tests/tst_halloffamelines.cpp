// SPDX-License-Identifier: MIT
#include "halloffamelinereader.h"
#include "halloffamelines.h"

#include <QRandomGenerator>
#include <QTest>

using namespace HallOfFameLines;

class TestHallOfFameLines : public QObject
{
    Q_OBJECT

private slots:
    void defaults();
    void parse_data();
    void parse();
    void parseInPieces_data();
    void parseInPieces();
    void format_data();
    void format();
    void formatThenParseGivesTheEntries();
    void withDefaults_data();
    void withDefaults();
    void sanitize_data();
    void sanitize();
};

void TestHallOfFameLines::defaults()
{
    const QStringList expected {
        "[Tilvane]",
        "No1 Fred1 Time 00:00:00 Trys 999",
        "No2 Fred2 Time 00:00:00 Trys 999",
        "No3 Fred3 Time 00:00:00 Trys 999",
        "No4 Fred4 Time 00:00:00 Trys 999",
        "No5 Fred5 Time 00:00:00 Trys 999",
    };
    QCOMPARE(defaultLines(), expected);
}

void TestHallOfFameLines::parse_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("expected");

    const QString longLine(HallOfFameLineReader::MaxLineBytes, u'a');
    const QString e_acute = QString::fromUtf8("\u00e9");

    QTest::newRow("empty file") << QByteArray() << QStringList();
    QTest::newRow("CR LF") << QByteArray("[T]\r\nNo1 A\r\n") << QStringList { "[T]", "No1 A" };
    QTest::newRow("LF only") << QByteArray("[T]\nNo1 A\n") << QStringList { "[T]", "No1 A" };
    QTest::newRow("last line without break")
        << QByteArray("[T]\r\nNo1 A") << QStringList { "[T]", "No1 A" };
    QTest::newRow("lone CR is no line end")
        << QByteArray("[T]\rNo1 A\rNo2 B") << QStringList { "[T]\rNo1 A\rNo2 B" };
    QTest::newRow("CR at the very end stays") << QByteArray("a\r") << QStringList { "a\r" };
    QTest::newRow("CR CR LF keeps one CR") << QByteArray("a\r\r\nb") << QStringList { "a\r", "b" };
    QTest::newRow("commas do not split") << QByteArray("No1 Smith, Ann Time 1,2 Trys 5\r\n")
                                         << QStringList { "No1 Smith, Ann Time 1,2 Trys 5" };
    QTest::newRow("quotes are text")
        << QByteArray("\"a\",\"b\"\r\n") << QStringList { "\"a\",\"b\"" };
    QTest::newRow("blank line is an empty entry")
        << QByteArray("[T]\r\n\r\nNo2\r\n") << QStringList { "[T]", "", "No2" };
    QTest::newRow("only a line break") << QByteArray("\n") << QStringList { "" };
    QTest::newRow("first six of eight lines")
        << QByteArray("0\n1\n2\n3\n4\n5\n6\n7\n") << QStringList { "0", "1", "2", "3", "4", "5" };
    QTest::newRow("seventh line unterminated is dropped")
        << QByteArray("0\n1\n2\n3\n4\n5\n6") << QStringList { "0", "1", "2", "3", "4", "5" };
    QTest::newRow("UTF-8") << QByteArray("No1 Jos\xc3\xa9 \xe2\x82\xac\n")
                           << QStringList { QString::fromUtf8("No1 Jos\u00e9 \u20ac") };
    QTest::newRow("invalid UTF-8 line is Latin-1")
        << QByteArray("No1 Jos\xe9 M\xfcller\n")
        << QStringList { QString::fromUtf8("No1 Jos\u00e9 M\u00fcller") };
    QTest::newRow("encoding is chosen per line")
        << QByteArray("Jos\xc3\xa9\nJos\xe9\n") << QStringList { "Jos" + e_acute, "Jos" + e_acute };
    QTest::newRow("encoded surrogate is not UTF-8")
        << QByteArray("\xed\xa0\x80") << QStringList { QString::fromLatin1("\xed\xa0\x80") };
    QTest::newRow("overlong form is not UTF-8")
        << QByteArray("\xc0\xaf") << QStringList { QString::fromLatin1("\xc0\xaf") };
    QTest::newRow("byte-order mark stays in the header")
        << QByteArray("\xef\xbb\xbf[T]\r\n") << QStringList { QChar(0xfeff) + QString("[T]") };
    QTest::newRow("NUL is text") << QByteArray("a\0b\n", 4)
                                 << QStringList { QString("a") + QChar(0) + "b" };
    QTest::newRow("line of the longest length")
        << QByteArray(longLine.toLatin1() + "\r\nx") << QStringList { longLine, "x" };
    QTest::newRow("longer line is cut")
        << QByteArray(longLine.toLatin1() + "bcd\r\nx") << QStringList { longLine, "x" };
    QTest::newRow("CR just past the bound is cut with the rest")
        << QByteArray(longLine.toLatin1() + "\r") << QStringList { longLine };
    QTest::newRow("cut through a character drops its first half") << QByteArray(
        longLine.chopped(1).toLatin1() + "\xc3\xa9z\n") << QStringList { longLine.chopped(1) };
    QTest::newRow("cut line of Latin-1 stays Latin-1, as long as it saves")
        << QByteArray(longLine.chopped(2).toLatin1() + "\xe9\xe9\xe9\n")
        << QStringList { longLine.chopped(2) + e_acute };
}

void TestHallOfFameLines::parse()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, expected);
    QCOMPARE(parseLines(content), expected);
    // Whatever a file held, its entries save and load back unchanged.
    QCOMPARE(parseLines(formatLines(expected)), expected);
}

void TestHallOfFameLines::parseInPieces_data()
{
    QTest::addColumn<QByteArray>("content");

    const QByteArray longLine(HallOfFameLineReader::MaxLineBytes, 'a');
    QTest::newRow("CR LF endings") << QByteArray("[T]\r\nNo1 A, B\r\n\r\nNo3\r\n");
    QTest::newRow("lone CRs") << QByteArray("a\rb\r\r\nc\r");
    QTest::newRow("many lines") << QByteArray("0\n1\n2\n3\n4\n5\n6\n7\n");
    QTest::newRow("cut lines") << QByteArray(
        longLine + "\r\n" + longLine + "xyz\r\n" + longLine + "\r");
    QTest::newRow("multibyte characters") << QByteArray("Jos\xc3\xa9\nJos\xe9\n\xe2\x82\xac");
}

// However the file arrives in chunks, the lines are the same.
void TestHallOfFameLines::parseInPieces()
{
    QFETCH(QByteArray, content);
    const QStringList whole = parseLines(content);
    for (qsizetype pieceSize : { 1, 2, 3, 7, 4095, 4096, 4097 }) {
        HallOfFameLineReader reader;
        for (qsizetype at = 0; at < content.size(); at += pieceSize)
            reader.feed(QByteArrayView(content).sliced(at, qMin(pieceSize, content.size() - at)));
        QCOMPARE(reader.finish(), whole);
    }
}

void TestHallOfFameLines::format_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("defaults") << defaultLines()
                              << QByteArray("[Tilvane]\r\n"
                                            "No1 Fred1 Time 00:00:00 Trys 999\r\n"
                                            "No2 Fred2 Time 00:00:00 Trys 999\r\n"
                                            "No3 Fred3 Time 00:00:00 Trys 999\r\n"
                                            "No4 Fred4 Time 00:00:00 Trys 999\r\n"
                                            "No5 Fred5 Time 00:00:00 Trys 999\r\n");
    QTest::newRow("UTF-8 and empty entries") << QStringList { "[T]", "",
        QString::fromUtf8("Jos\u00e9") } << QByteArray("[T]\r\n\r\nJos\xc3\xa9\r\n");
    QTest::newRow("line feed in an entry becomes a space")
        << QStringList { "a\nb", "c\r\nd" } << QByteArray("a b\r\nc\r d\r\n");
    QTest::newRow("lone CR is written as it is")
        << QStringList { "a\rb" } << QByteArray("a\rb\r\n");
}

void TestHallOfFameLines::format()
{
    QFETCH(QStringList, entries);
    QFETCH(QByteArray, expected);
    QCOMPARE(formatLines(entries), expected);
}

void TestHallOfFameLines::formatThenParseGivesTheEntries()
{
    // Characters that have tripped line readers: separators, quotes, CR,
    // control and non-ASCII characters, including ones outside the BMP.
    const QList<char32_t> alphabet { U'a', U'Z', U'0', U' ', U',', U';', U'"', U'=', U'[', U']',
        U'\r', U'\t', U'\0', U'\x85', U'\u00e9', U'\u00ff', U'\u2028', U'\u20ac', U'\ufeff',
        U'\U0001F600' };
    QRandomGenerator random(20240607);
    for (int round = 0; round < 2000; ++round) {
        QStringList entries;
        const int count = random.bounded(7);
        for (int e = 0; e < count; ++e) {
            QString entry;
            const int length = random.bounded(12);
            for (int i = 0; i < length; ++i) {
                const char32_t c = alphabet.at(random.bounded(int(alphabet.size())));
                entry += QString::fromUcs4(&c, 1);
            }
            entries.append(entry);
        }
        // A CR at the end of the last entry is kept too.
        QCOMPARE(parseLines(formatLines(entries)), entries);
    }
}

void TestHallOfFameLines::withDefaults_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("expected");

    const QStringList d = defaultLines();
    QTest::newRow("nothing") << QStringList() << d;
    QTest::newRow("header only") << QStringList { "[X]" }
                                 << QStringList { "[X]", d[1], d[2], d[3], d[4], d[5] };
    QTest::newRow("three entries, one empty") << QStringList { "[X]", "",
        "No2 B" } << QStringList { "[X]", "", "No2 B", d[3], d[4], d[5] };
    QTest::newRow("six") << QStringList { "0", "1", "2", "3", "4", "5" }
                         << QStringList { "0", "1", "2", "3", "4", "5" };
    QTest::newRow("eight") << QStringList { "0", "1", "2", "3", "4", "5", "6", "7" }
                           << QStringList { "0", "1", "2", "3", "4", "5" };
}

void TestHallOfFameLines::withDefaults()
{
    QFETCH(QStringList, entries);
    QFETCH(QStringList, expected);
    QCOMPARE(HallOfFameLines::withDefaults(entries), expected);
}

void TestHallOfFameLines::sanitize_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain") << "Ann"
                           << "Ann";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("comma and spaces kept") << " Smith, Ann "
                                           << " Smith, Ann ";
    QTest::newRow("non-ASCII kept") << QString::fromUtf8("Jos\u00e9 \u20ac\U0001F600")
                                    << QString::fromUtf8("Jos\u00e9 \u20ac\U0001F600");
    QTest::newRow("LF") << "Ann\nNo1 Eve"
                        << "Ann No1 Eve";
    QTest::newRow("CR LF gives two spaces") << "Ann\r\nBob"
                                            << "Ann  Bob";
    QTest::newRow("lone CR") << "Ann\rBob"
                             << "Ann Bob";
    QTest::newRow("tab") << "Ann\tBob"
                         << "Ann Bob";
    QTest::newRow("NUL") << QString("Ann") + QChar(0) + "Bob"
                         << "Ann Bob";
    QTest::newRow("other C0 and DEL") << "\x01\x1b\x1f\x7f"
                                      << "    ";
    QTest::newRow("C1 controls and NEL") << QString::fromUtf8("a\u0080b\u0085c\u009f") << "a b c ";
    QTest::newRow("line separator") << QString::fromUtf8("a\u2028b") << "a b";
    QTest::newRow("paragraph separator") << QString::fromUtf8("a\u2029b") << "a b";
    QTest::newRow("vertical tab and form feed") << "a\vb\fc"
                                                << "a b c";
    QTest::newRow("longest name kept whole") << QString(1000, u'x') << QString(1000, u'x');
    QTest::newRow("longer name cut") << QString(10000, u'x') << QString(1000, u'x');
    const QString smiles = QString::fromUtf8("\U0001F600").repeated(600);
    QTest::newRow("cut never splits a character") << u'a' + smiles << u'a' + smiles.left(998);
}

void TestHallOfFameLines::sanitize()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(sanitizedName(name), expected);
}

QTEST_GUILESS_MAIN(TestHallOfFameLines)
#include "tst_halloffamelines.moc"
