// SPDX-License-Identifier: MIT
#include "editions.h"
#include "formfixture.h"
#include "qtplatform.h"
#include "summary.h"

#include <array>
#include <QAbstractButton>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QScreen>
#include <QTextLayout>
#include <QTimer>

using Answer = Platform::Answer;
Q_DECLARE_METATYPE(Platform::Buttons)
Q_DECLARE_METATYPE(Platform::Answer)

namespace
{

const QStringList kDefaultLines {
    "[Tilvane]",
    "No1 Fred1 Time 00:00:00 Trys 999",
    "No2 Fred2 Time 00:00:00 Trys 999",
    "No3 Fred3 Time 00:00:00 Trys 999",
    "No4 Fred4 Time 00:00:00 Trys 999",
    "No5 Fred5 Time 00:00:00 Trys 999",
};

QByteArray fileText(const QStringList &lines)
{
    QByteArray text;
    for (const QString &line : lines)
        text += line.toUtf8() + "\r\n";
    return text;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QStringList entries(const QListWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts.append(list->item(i)->text());
    return texts;
}

QString hallOfFameFile(const FormFixture &game)
{
    return game.dir.path() + QStringLiteral("/Tilvane.ini");
}

// Finds every pair at the first try: 2 x pairCount clicks.
void playPerfectGame(FormFixture &game)
{
    const int pairs = game.form->profile().pairCount;
    for (int i = 1; i <= pairs; ++i) {
        game.clickTile(i);
        game.clickTile(i + pairs);
    }
}

void setClock(FormFixture &game, QTime time)
{
    game.platform.now = QDateTime(QDate(2026, 12, 7), time);
}

} // namespace

class TestEndGame : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void missingFileIsCreatedThenLoaded();
    void existingFileIsNeverRewrittenAtStart();
    void startFailsBeforeTheWindowShows_data();
    void startFailsBeforeTheWindowShows();
    void perfectGameEntersTheHallOfFame();
    void noPlaceMeansNoPrompt();
    void clicksAreHalvedAndTruncated();
    void gameAcrossMidnight();
    void yesDealsAgainAndRemembers();
    void hallOfFameBoxFitsTheScreen_data();
    void hallOfFameBoxFitsTheScreen();
    void onlyYesOrNoAnswersTheQuestion_data();
    void onlyYesOrNoAnswersTheQuestion();
    void namesStayOnOneLine();
    void closingSavesBeforeTheAnimation();
    void failedSaveKeepsTheFileAndSkipsTheAnimation();
    void closingPasses_data();
    void closingPasses();
    void secondCloseIsNotHandled();
    void smallBoardSummary_data();
    void smallBoardSummary();
};

void TestEndGame::missingFileIsCreatedThenLoaded()
{
    FormFixture game;
    Form1 &form = game.open(kEdition31);
    QCOMPARE(form.hallOfFamePath, hallOfFameFile(game));
    QCOMPARE(readAll(hallOfFameFile(game)), fileText(kDefaultLines));
    QCOMPARE(entries(form.List1), kDefaultLines);
}

void TestEndGame::existingFileIsNeverRewrittenAtStart()
{
    FormFixture game;
    const QByteArray odd(
        "[Scores]\r\nNo1 Zoe Time 00:01:00 Trys 20\n\r\nNo3 Max, Jr Time 00:09:00 Trys 70\r\n");
    writeAll(hallOfFameFile(game), odd);
    const QDateTime modified = QFileInfo(hallOfFameFile(game)).lastModified();
    Form1 &form = game.open(kEdition31);
    QCOMPARE(readAll(hallOfFameFile(game)), odd);
    QCOMPARE(QFileInfo(hallOfFameFile(game)).lastModified(), modified);
    QCOMPARE(entries(form.List1),
        (QStringList { "[Scores]", "No1 Zoe Time 00:01:00 Trys 20", "",
            "No3 Max, Jr Time 00:09:00 Trys 70", kDefaultLines[4], kDefaultLines[5] }));
}

void TestEndGame::startFailsBeforeTheWindowShows_data()
{
    QTest::addColumn<const EditionProfile *>("profile");
    QTest::addColumn<QString>("missing");
    QTest::newRow("3.1, program folder gone") << &kEdition31 << "gone";
    QTest::newRow("3, no temporary folder on the drive") << &kEdition3 << "elsewhere";
}

void TestEndGame::startFailsBeforeTheWindowShows()
{
    QFETCH(const EditionProfile *, profile);
    QFETCH(QString, missing);
    FormFixture game;
    const QString nowhere = game.dir.path() + QLatin1Char('/') + missing;
    game.platform.folder = nowhere;
    game.platform.environment.insert(QStringLiteral("SystemDrive"), nowhere);
    Form1 form(*profile, game.platform);
    QVERIFY(!form.start());
    QVERIFY(!form.isVisible());
    QCOMPARE(game.platform.failures.size(), 1);
    QVERIFY2(game.platform.failures.first().contains(nowhere),
        qPrintable(game.platform.failures.first()));
    QCOMPARE(game.platform.endStatuses, QList<int> { 1 });
}

void TestEndGame::perfectGameEntersTheHallOfFame()
{
    FormFixture game;
    setClock(game, QTime(10, 0, 0, 900));
    Form1 &form = game.open(kEdition31);
    setClock(game, QTime(10, 4, 10, 100));
    game.platform.typed = { QStringLiteral("Ann") };
    playPerfectGame(game);

    QCOMPARE(game.platform.prompts.size(), 1);
    QCOMPARE(game.platform.prompts[0].prompt, QStringLiteral("Enter Your Name"));
    QCOMPARE(game.platform.prompts[0].title, QStringLiteral("Hall Of Fame"));
    QCOMPARE(game.platform.messages.size(), 2);
    const auto &box = game.platform.messages[0];
    QCOMPARE(box.text,
        QStringLiteral("No1 Ann Time 00:04:10 Trys 50\r\n\r\n"
                       "No 2 Fred1 Time 00:00:00 Trys 999\r\n\r\n"
                       "No 3 Fred2 Time 00:00:00 Trys 999\r\n\r\n"
                       "No 4 Fred3 Time 00:00:00 Trys 999\r\n\r\n"
                       "No5  Fred4 Time 00:00:00 Trys 999"));
    QCOMPARE(box.title, QStringLiteral("Tilvane"));
    QCOMPARE(box.icon, Platform::Icon::Information);
    QCOMPARE(box.buttons, Platform::Buttons::Ok);
    const auto &question = game.platform.messages[1];
    QCOMPARE(question.text, QStringLiteral("Do Want To play Again?"));
    QCOMPARE(question.title, QStringLiteral("Question"));
    QCOMPARE(question.icon, Platform::Icon::Question);
    QCOMPARE(question.buttons, Platform::Buttons::YesNo);

    // No: the window unloads, saving first.
    QCOMPARE(game.platform.endStatuses, QList<int> { 0 });
    QCOMPARE(form.gameState.clickCount, 50.0);
    QCOMPARE(readAll(hallOfFameFile(game)),
        fileText({ "[Tilvane]", "No1 Ann Time 00:04:10 Trys 50",
            "No 2 Fred1 Time 00:00:00 Trys 999", "No 3 Fred2 Time 00:00:00 Trys 999",
            "No 4 Fred3 Time 00:00:00 Trys 999", "No5  Fred4 Time 00:00:00 Trys 999" }));
}

void TestEndGame::noPlaceMeansNoPrompt()
{
    FormFixture game;
    QStringList best = kDefaultLines;
    for (int i = 1; i <= 5; ++i)
        best[i] = QStringLiteral("No%1 Pro Time 00:01:00 Trys 50").arg(i);
    writeAll(hallOfFameFile(game), fileText(best));
    game.open(kEdition31);
    playPerfectGame(game);
    QVERIFY(game.platform.prompts.isEmpty());
    QCOMPARE(game.platform.messages[0].text, best.mid(1).join(QStringLiteral("\r\n\r\n")));
}

void TestEndGame::clicksAreHalvedAndTruncated()
{
    FormFixture game;
    Form1 &form = game.open(kEdition31);
    form.gameState.clickCount = 101;
    game.platform.typed = { QStringLiteral("Odd") };
    form.EndGame();
    QCOMPARE(form.gameState.clickCount, 50.0);
    QVERIFY(game.platform.messages[0].text.startsWith(
        QStringLiteral("No1 Odd Time 00:00:00 Trys 50\r\n")));
}

void TestEndGame::gameAcrossMidnight()
{
    FormFixture game;
    setClock(game, QTime(23, 59, 0));
    Form1 &form = game.open(kEdition3);
    setClock(game, QTime(0, 1, 0));
    game.platform.typed = { QStringLiteral("Owl") };
    playPerfectGame(game);
    QCOMPARE(form.gameState.elapsedTime, 120);
    QVERIFY(
        game.platform.messages[0].text.startsWith(QStringLiteral("No1 Owl Time 00:02:00 Trys 50")));
}

void TestEndGame::yesDealsAgainAndRemembers()
{
    FormFixture game;
    Form1 &form = game.open(kEdition31);
    game.platform.answers = { Answer::Yes };
    game.platform.typed = { QStringLiteral("Ann") };
    setClock(game, QTime(15, 0, 0));
    playPerfectGame(game);

    QVERIFY(game.platform.endStatuses.isEmpty());
    QCOMPARE(form.gameState.clickCount, 0.0);
    QCOMPARE(form.gameState.pairsFound, 0);
    QCOMPARE(form.gameState.pickState, 0);
    QCOMPARE(form.gameState.startTime, 15 * 3600);
    for (int i = 1; i <= 100; ++i)
        QVERIFY(!game.faceUp(i));
    // Nothing reaches the file before the window closes.
    QCOMPARE(readAll(hallOfFameFile(game)), fileText(kDefaultLines));

    game.platform.messages.clear();
    game.clickTile(3);
    game.clickTile(4);
    game.platform.typed = { QStringLiteral("Bob") };
    playPerfectGame(game);
    QCOMPARE(game.platform.messages[0].text,
        QStringLiteral(
            "No1 Ann Time 00:54:51 Trys 50\r\n\r\nNo 2Bob Time 00:00:00 Trys 51\r\n\r\n"
            "No 32 Fred1 Time 00:00:00 Trys 999\r\n\r\nNo 43 Fred2 Time 00:00:00 Trys 999"
            "\r\n\r\nNo5 4 Fred3 Time 00:00:00 Trys 999"));
}

void TestEndGame::hallOfFameBoxFitsTheScreen_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("whole");
    const auto places = [](const QString &name) {
        QStringList lines;
        for (int place = 1; place <= 5; ++place)
            lines.append(QStringLiteral("No%1 %2 Time 00:0%1:00 Trys 99%1").arg(place).arg(name));
        return lines.join(QStringLiteral("\r\n\r\n"));
    };
    QString indicators;
    for (char32_t i = 0; i < 1024; ++i)
        indicators += QString::fromUcs4(std::array { char32_t(U'\U0001F1E6' + i % 26) }.data(), 1);
    const int time = 16 * 3600 + 4 * 60 + 17;
    const struct {
        const char *name;
        QString text;
        bool whole;
    } rows[] = {
        { "120 letters in words",
            places(QStringLiteral("Anne-Marie Christine Dubois-Fontaine ").repeated(4).left(120)),
            true },
        { "120 capitals in one word", places(QString(120, u'W')), true },
        { "120 CJK characters", places(QStringLiteral("山田太郎").repeated(30)), true },
        { "40 emoji", places(QStringLiteral("😀🐈🌵🚲").repeated(10)), true },
        { "10 flags", places(QStringLiteral("🇫🇷🇯🇵").repeated(5)), true },
        { "summary in Thai", summaryText(QLocale(QStringLiteral("th_TH")), time, time, 0, 50),
            true },
        { "1000 letters", places(QString(1000, u'W')), false },
        { "1024 regional indicators", places(indicators), false },
    };
    const int width = QGuiApplication::primaryScreen()->size().width();
    for (const auto &row : rows)
        QTest::addRow("%s, %d pixels wide", row.name, width) << row.text << row.whole;
}

// Through the real box: lines are shown whole, wrapped if need be; only what
// the screen cannot hold gives way, and each line keeps its start and its
// end, a place's time and tries. The suite runs it on screens of 800, 1366
// and 1920 pixels.
void TestEndGame::hallOfFameBoxFitsTheScreen()
{
    QFETCH(QString, text);
    QFETCH(bool, whole);
    QtPlatform platform;
    QStringList shown;
    QSize size;
    qreal widestRow = 0;
    int labelWidth = 0;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        shown = box->text().split(u'\n');
        size = box->size();
        const auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
        labelWidth = label->width();
        QTextLayout layout(shown.join(QChar::LineSeparator), label->font());
        layout.beginLayout();
        for (QTextLine row = layout.createLine(); row.isValid(); row = layout.createLine()) {
            row.setLineWidth(labelWidth);
            widestRow = qMax(widestRow, row.naturalTextWidth());
        }
        layout.endLayout();
        box->accept();
    });
    platform.messageBox(
        text, Platform::Buttons::Ok, Platform::Icon::Information, QStringLiteral("Tilvane"));

    const QStringList lines = text.split(QStringLiteral("\r\n"));
    QCOMPARE(shown.size(), lines.size());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        // A word wider than the box may break anywhere.
        const QString seen = QString(shown[i]).remove(QChar(0x200B));
        QCOMPARE(seen == lines[i], whole || lines[i].isEmpty());
        QVERIFY2(seen.startsWith(lines[i].left(6)) && seen.endsWith(lines[i].right(24)),
            qPrintable(seen));
    }
    const QSize screen = QGuiApplication::primaryScreen()->availableSize();
    QVERIFY(size.width() <= screen.width() && size.height() <= screen.height());
    QVERIFY2(widestRow <= labelWidth, "a word stands out of the box");
}

void TestEndGame::onlyYesOrNoAnswersTheQuestion_data()
{
    QTest::addColumn<Platform::Buttons>("buttons");
    QTest::addColumn<QByteArray>("stray");
    QTest::addColumn<bool>("openAfterStray");
    QTest::addColumn<QMessageBox::StandardButton>("pressed");
    QTest::addColumn<Answer>("answer");
    using B = Platform::Buttons;
    QTest::newRow("question, Escape then Yes")
        << B::YesNo << QByteArray("escape") << true << QMessageBox::Yes << Answer::Yes;
    QTest::newRow("question, Escape then No")
        << B::YesNo << QByteArray("escape") << true << QMessageBox::No << Answer::No;
    QTest::newRow("question, close button then Yes")
        << B::YesNo << QByteArray("close") << true << QMessageBox::Yes << Answer::Yes;
    QTest::newRow("Hall of Fame, Escape")
        << B::Ok << QByteArray("escape") << false << QMessageBox::NoButton << Answer::Ok;
}

// The real box of the programs, answered through its own keys and buttons.
void TestEndGame::onlyYesOrNoAnswersTheQuestion()
{
    QFETCH(Platform::Buttons, buttons);
    QFETCH(QByteArray, stray);
    QFETCH(bool, openAfterStray);
    QFETCH(QMessageBox::StandardButton, pressed);
    QFETCH(Answer, answer);
    QtPlatform platform;
    bool open = false;
    bool closeButton = false;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        const Qt::WindowFlags flags = box->windowHandle()->flags();
        closeButton
            = !flags.testFlag(Qt::CustomizeWindowHint) || flags.testFlag(Qt::WindowCloseButtonHint);
        if (stray == "escape")
            QTest::keyClick(box, Qt::Key_Escape);
        else
            box->close();
        open = box->isVisible();
        if (open)
            QTest::mouseClick(box->button(pressed), Qt::LeftButton);
    });
    QCOMPARE(platform.messageBox(QStringLiteral("Do Want To play Again?"), buttons,
                 Platform::Icon::Question, QStringLiteral("Question")),
        answer);
    QCOMPARE(open, openAfterStray);
    QCOMPARE(closeButton, !openAfterStray);
}

void TestEndGame::namesStayOnOneLine()
{
    FormFixture game;
    game.open(kEdition31);
    game.platform.typed = { QStringLiteral("Ann, the\r\nGreat\tOne") };
    playPerfectGame(game);
    const QString line = QStringLiteral("No1 Ann, the  Great One Time 00:00:00 Trys 50");
    QCOMPARE(readAll(hallOfFameFile(game)).split('\n').at(1), line.toUtf8() + '\r');

    FormFixture again;
    again.platform.folder = game.dir.path();
    Form1 &reopened = again.open(kEdition31);
    QCOMPARE(reopened.List1->item(1)->text(), line);
    QCOMPARE(reopened.List1->count(), 6);
}

void TestEndGame::closingSavesBeforeTheAnimation()
{
    FormFixture game;
    Form1 &form = game.open(kEdition31);
    form.List1->item(3)->setText(QStringLiteral("No3 Mid Time 00:03:00 Trys 33"));
    QVERIFY(!form.close());
    QCOMPARE(game.platform.endStatuses, QList<int> { 0 });
    QVERIFY(form.closingPasses() > 0);
    QVERIFY(readAll(hallOfFameFile(game)).contains("No3 Mid Time 00:03:00 Trys 33\r\n"));
}

void TestEndGame::failedSaveKeepsTheFileAndSkipsTheAnimation()
{
    FormFixture game;
    Form1 &form = game.open(kEdition31);
    const QByteArray before = readAll(hallOfFameFile(game));
    // The folder goes away under the running game: nothing can be written.
    const QString moved = game.dir.path() + QStringLiteral("-moved");
    QVERIFY(QDir().rename(game.dir.path(), moved));
    form.close();
    QVERIFY(QDir().rename(moved, game.dir.path()));
    QCOMPARE(game.platform.failures.size(), 1);
    QVERIFY(game.platform.failures[0].contains(QStringLiteral("Tilvane.ini")));
    QCOMPARE(game.platform.endStatuses, QList<int> { 1 });
    QCOMPARE(form.closingPasses(), 0);
    QCOMPARE(readAll(hallOfFameFile(game)), before);
}

void TestEndGame::closingPasses_data()
{
    QTest::addColumn<QPoint>("start");
    QTest::addColumn<int>("beyondTop");
    // Of the steady clock, from the start of the animation on; none: it
    // stands still, as on a machine that keeps up.
    QTest::addColumn<QList<qint64>>("clock");
    QTest::addColumn<int>("passes");
    QTest::addColumn<int>("steps");
    const QList<qint64> idle;
    QTest::newRow("top already beyond the width") << QPoint(20, 20) << -15 << idle << 1 << 1;
    QTest::newRow("top at the width") << QPoint(20, 20) << 0 << idle << 1 << 1;
    QTest::newRow("one step short") << QPoint(20, 20) << 30 << idle << 2 << 2;
    QTest::newRow("between steps") << QPoint(20, 20) << 45 << idle << 2 << 2;
    QTest::newRow("ten steps") << QPoint(20, 20) << 300 << idle << 11 << 11;
    // The bound is for Top alone, wherever Left stands.
    QTest::newRow("left far right of top") << QPoint(300, 20) << 300 << idle << 11 << 11;
    QTest::newRow("left far left of top") << QPoint(0, 200) << 300 << idle << 11 << 11;
    QTest::newRow("a whole screen, idle") << QPoint(20, 20) << 30 * 599 << idle << 600 << 600;

    // Two seconds at most, however late the passes come: a late pass makes
    // the steps left behind at once, and when the time is up the program ends.
    QTest::newRow("the clock jumps past the time")
        << QPoint(20, 20) << 30 * 599 << QList<qint64> { 0, 0, 60000 } << 1 << 1;
    QTest::newRow("half the time gone at the second pass")
        << QPoint(20, 20) << 30 * 599 << QList<qint64> { 0, 0, 1000, 2000 } << 2 << 300;
    QList<qint64> busy { 0 };
    for (qint64 ms = 0; ms <= 2000; ms += 50)
        busy.append(ms);
    QTest::newRow("50 ms a pass") << QPoint(20, 20) << 30 * 599 << busy << 40 << 585;
}

// Top grows 30 twips a step and the loop leaves once it is strictly beyond
// the screen's width: reaching it exactly takes one more step.
void TestEndGame::closingPasses()
{
    QFETCH(QPoint, start);
    QFETCH(int, beyondTop);
    QFETCH(QList<qint64>, clock);
    QFETCH(int, passes);
    QFETCH(int, steps);
    FormFixture game;
    Form1 &form = game.open(kEdition2);
    form.move(start);
    QCOMPARE(form.pos(), start);
    game.platform.screenWidth = start.y() * 15.0 + beyondTop;
    game.platform.steadyReadings = clock;
    game.platform.steadyMs = clock.isEmpty() ? 0 : clock.last();
    form.close();
    QCOMPARE(form.closingPasses(), passes);
    QCOMPARE(form.pos(), start + QPoint(2, 2) * steps);
    QCOMPARE(game.platform.endStatuses, QList<int> { 0 });
}

void TestEndGame::secondCloseIsNotHandled()
{
    FormFixture game;
    Form1 &form = game.open(kEdition31);
    form.close();
    form.List1->item(1)->setText(QStringLiteral("changed after closing"));
    form.close();
    QCOMPARE(game.platform.endStatuses, QList<int> { 0 });
    QVERIFY(!readAll(hallOfFameFile(game)).contains("changed"));
}

void TestEndGame::smallBoardSummary_data()
{
    QTest::addColumn<const EditionProfile *>("profile");
    QTest::addColumn<QString>("text");
    QTest::newRow("tilvane-v2")
        << &kEdition2
        << "Time Started 2:05:09 PM End Time 2:07:41 PM\r\nTotal Time Playing "
           "For 00:02:31 With 18 Trys";
    QTest::newRow("tilvane-v1")
        << &kEdition1
        << "Time Started 2:05:09 PM End Time 2:07:41 PM\r\nTotal Time Playing "
           "For 00:02:31 With 8 Trys";
}

// The end time shown is the clock read for the message, a second after the
// end of the game here; the time played is counted to the end of the game.
void TestEndGame::smallBoardSummary()
{
    QFETCH(const EditionProfile *, profile);
    QFETCH(QString, text);
    QLocale::setDefault(QLocale(QStringLiteral("en_US")));
    FormFixture game;
    setClock(game, QTime(14, 5, 9));
    game.open(*profile);
    const QDate today(2026, 12, 7);
    game.platform.clockReadings
        = { QDateTime(today, QTime(14, 7, 40, 999)), QDateTime(today, QTime(14, 7, 41)) };
    playPerfectGame(game);
    QLocale::setDefault(QLocale::c());

    QCOMPARE(game.platform.messages.size(), 2);
    const auto &summary = game.platform.messages[0];
    QCOMPARE(summary.text, text);
    QCOMPARE(summary.title, QStringLiteral("Tilvane"));
    QCOMPARE(summary.icon, Platform::Icon::Information);
    QCOMPARE(summary.buttons, Platform::Buttons::Ok);
    QCOMPARE(game.platform.messages[1].text, QStringLiteral("Do Want To play Again?"));
    QCOMPARE(game.platform.endStatuses, QList<int> { 0 });
    // No file of any kind, anywhere the program looks.
    QCOMPARE(QDir(game.dir.path()).entryList(QDir::Files), QStringList());
    QVERIFY(!QFile::exists(game.dir.path() + QStringLiteral("/drive/var/tmp/Tilvane.ini")));
}

QTEST_MAIN(TestEndGame)
#include "tst_endgame.moc"
