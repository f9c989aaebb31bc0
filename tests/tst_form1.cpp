// SPDX-License-Identifier: MIT
#include "board.h"
#include "editions.h"
#include "formfixture.h"
#include "iconpicture.h"
#include "qtplatform.h"
#include "runedition.h"
#include "twips.h"

#include <QAccessible>
#include <QBuffer>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QSet>
#include <QTimer>
#include <sys/stat.h>

using Profile = const EditionProfile *;
using Keys = QList<QKeyCombination>;
Q_DECLARE_METATYPE(Profile)
Q_DECLARE_METATYPE(Platform::Buttons)

namespace
{

QStringList entries(const QListWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts.append(list->item(i)->text());
    return texts;
}

// The widgets the Tab key visits, in order, starting from the first.
QList<QWidget *> tabStops(QWidget &window)
{
    QList<QWidget *> stops;
    QWidget *first = window.nextInFocusChain();
    for (QWidget *w = first; w != &window; w = w->nextInFocusChain())
        if (w->focusPolicy() & Qt::TabFocus)
            stops.append(w);
    return stops;
}

QPoint pixels(QPoint twips)
{
    return { twipsToPixels(twips.x()), twipsToPixels(twips.y()) };
}

void addEditionRows()
{
    QTest::addColumn<Profile>("profile");
    for (Profile profile : kEditions)
        QTest::newRow(profile->deliverable) << profile;
}

// Breaks an icon file in one of the ways a damaged pool can.
void breakIcon(const QString &path, const QByteArray &how)
{
    QFile::remove(path);
    if (how == "directory") {
        QDir().mkpath(path);
        return;
    }
    if (how == "missing")
        return;
    if (how == "fifo") {
        QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        return;
    }
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    if (how == "truncated") {
        QImage picture(48, 48, QImage::Format_ARGB32);
        picture.fill(Qt::red);
        QByteArray whole;
        QBuffer buffer(&whole);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "ico");
        file.write(whole.left(whole.size() / 3));
    } else if (how == "png renamed") {
        QImage picture(48, 48, QImage::Format_ARGB32);
        picture.fill(Qt::blue);
        picture.save(&file, "png");
    } else if (how == "huge claim") {
        // One entry whose bitmap says it is 65535 x 65535 pixels.
        QByteArray ico("\0\0\1\0\1\0", 6);
        ico += QByteArray("\0\0\0\0\1\0\x20\0", 8);
        ico += QByteArray("\x28\0\0\0\x16\0\0\0", 8);
        QByteArray bitmap(40, '\0');
        bitmap[0] = 40;
        bitmap[4] = bitmap[5] = char(0xff);
        bitmap[8] = char(0xfe);
        bitmap[9] = char(0xff);
        bitmap[10] = 1;
        bitmap[12] = 1;
        bitmap[14] = 32;
        file.write(ico + bitmap + QByteArray(64, 'x'));
    }
}

QStringList tileNames(Form1 &form)
{
    QStringList names;
    for (int i = 1; i <= form.profile().cellCount; ++i)
        names.append(QAccessible::queryAccessibleInterface(form.c1[i])->text(QAccessible::Name));
    return names;
}

// Whether the focus frame's black ring lies in the gap left of the tile.
bool frameAround(const QImage &shot, const QWidget *tile)
{
    return shot.pixelColor(tile->x() - 3, tile->y() + 20) == QColor(Qt::black);
}

} // namespace

class TestForm1 : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void windowAndControls_data();
    void windowAndControls();
    void programNames_data();
    void programNames();
    void gameIconEverywhere_data();
    void gameIconEverywhere();
    void firstSight_data() { addEditionRows(); }
    void firstSight();
    void permutationThroughTheControls_data();
    void permutationThroughTheControls();
    void nonPositiveCountLeavesTheList_data();
    void nonPositiveCountLeavesTheList();
    void secondCallHoldsOnlyItsOwnEntries();
    void sameTimerGivesFreshPermutations();
    void placement_data() { addEditionRows(); }
    void placement();
    void picturesForEveryPair();
    void noIconFolderKeepsPictures();
    void badIconEndsTheLoading_data();
    void badIconEndsTheLoading();
    void builtinPicturesFormPairsOnSmallBoards_data();
    void builtinPicturesFormPairsOnSmallBoards();
    void resetClearsTheGame();
    void faceUpTileTakesNoClick();
    void releaseOffTheTileIsNoClick_data();
    void releaseOffTheTileIsNoClick();
    void mismatchStaysUntilTheNextClick();
    void partnersMatchWhereverTheyLie();
    void samePictureIsNoPair();
    void backgroundAndFooterDoNothing();
    void perfectGame_data() { addEditionRows(); }
    void perfectGame();
    void keysOnTheBoard_data();
    void keysOnTheBoard();
    void keyboardAndMouseMix();
    void newDealFocusesTheFirstTile();
    void screenReaderFindsTheFocusedTile();
};

// Caption and client size written out, not read back from the profile the
// window was built from.
void TestForm1::windowAndControls_data()
{
    QTest::addColumn<Profile>("profile");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QSize>("clientPixels");
    QTest::newRow("tilvane-v1") << &kEdition1 << "Tilvane" << QSize(199, 200);
    QTest::newRow("tilvane-v2") << &kEdition2 << "Tilvane V2" << QSize(295, 297);
    QTest::newRow("tilvane-v3") << &kEdition3 << "Tilvane V3" << QSize(486, 488);
    QTest::newRow("tilvane-v31") << &kEdition31 << "Tilvane V3" << QSize(486, 488);
}

void TestForm1::windowAndControls()
{
    QFETCH(Profile, profile);
    QFETCH(QString, caption);
    QFETCH(QSize, clientPixels);
    FormFixture game;
    Form1 &form = game.open(*profile);
    QCOMPARE(form.windowTitle(), caption);
    QCOMPARE(form.size(), clientPixels);
    QCOMPARE(form.minimumSize(), form.maximumSize());
    QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(bool(form.windowFlags() & Qt::WindowMinimizeButtonHint), profile->minimizeButton);
    QCOMPARE(form.palette().color(QPalette::Window), QColor(192, 192, 192));

    const QRect client = form.rect();
    for (QWidget *offWindow :
        { static_cast<QWidget *>(form.lstRand), static_cast<QWidget *>(form.txtNum) })
        QVERIFY(!client.intersects(offWindow->geometry()));
    QCOMPARE(form.List1 != nullptr, profile->keepsHallOfFame());
    QList<QWidget *> tabOrder { form.txtNum, form.lstRand };
    if (form.List1) {
        QVERIFY(!client.intersects(form.List1->geometry()));
        tabOrder.append(form.List1);
    }
    QCOMPARE(tabStops(form), tabOrder);
    QCOMPARE(form.Label1->geometry(), twipsToPixels(profile->footerTwips));
    QVERIFY(form.Label1->geometry().bottom() > client.bottom());

    QCOMPARE(form.c1[0] != nullptr, profile->hasTileZero);
    if (profile->hasTileZero) {
        QCOMPARE(form.c1[0]->pos(), QPoint(968, 56));
        QCOMPARE(form.Image1[0]->pos(), QPoint(968, 104));
        QVERIFY(!client.intersects(form.c1[0]->geometry()));
    }
    for (int i = 1; i <= profile->cellCount; ++i) {
        QCOMPARE(form.c1[i]->size(), QSize(40, 40));
        QCOMPARE(form.Image1[i]->size(), QSize(40, 40));
        QCOMPARE(form.c1[i]->focusPolicy(), Qt::NoFocus);
    }
}

void TestForm1::programNames_data()
{
    QTest::addColumn<Profile>("profile");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("desktopId");
    QTest::newRow("tilvane-v1") << &kEdition1 << "tilvane-v1"
                                << "org.tilvane.Tilvane.V1";
    QTest::newRow("tilvane-v2") << &kEdition2 << "tilvane-v2"
                                << "org.tilvane.Tilvane.V2";
    QTest::newRow("tilvane-v3") << &kEdition3 << "tilvane-v3"
                                << "org.tilvane.Tilvane.V3";
    QTest::newRow("tilvane-v31") << &kEdition31 << "tilvane-v31"
                                 << "org.tilvane.Tilvane.V31";
}

// The window system matches a window to its menu entry by these names: the
// entries are packaged under the desktop ids.
void TestForm1::programNames()
{
    QFETCH(Profile, profile);
    QFETCH(QString, command);
    QFETCH(QString, desktopId);
    setUpApplication(*profile);
    QCOMPARE(QCoreApplication::applicationName(), command);
    QCOMPARE(QGuiApplication::desktopFileName(), desktopId);
}

void TestForm1::gameIconEverywhere_data()
{
    QTest::addColumn<Platform::Buttons>("buttons");
    QTest::newRow("Hall of Fame") << Platform::Buttons::Ok;
    QTest::newRow("question") << Platform::Buttons::YesNo;
}

// The same picture in the window and in the real boxes, in every size drawn.
void TestForm1::gameIconEverywhere()
{
    QFETCH(Platform::Buttons, buttons);
    setUpApplication(kEdition31);
    FormFixture game;
    Form1 &form = game.open(kEdition31);
    setApplicationIcon();
    QtPlatform platform;
    QIcon boxIcon;
    QTimer::singleShot(0, [&] {
        QWidget *box = QApplication::activeModalWidget();
        QVERIFY(box);
        boxIcon = box->windowIcon();
        QTest::keyClick(box, Qt::Key_Return);
    });
    platform.messageBox(QStringLiteral("No1 Fred1 Time 00:00:00 Trys 999"), buttons,
        Platform::Icon::Information, QStringLiteral("Tilvane"));

    const QImage drawn = QImage(QStringLiteral(":/art/tilvane.png"))
                             .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QList<QSize> sides { { 16, 16 }, { 22, 22 }, { 24, 24 }, { 32, 32 }, { 48, 48 },
        { 64, 64 }, { 128, 128 }, { 256, 256 } };
    for (const QIcon &icon : { form.windowIcon(), boxIcon }) {
        QList<QSize> sizes = icon.availableSizes();
        std::sort(
            sizes.begin(), sizes.end(), [](QSize a, QSize b) { return a.width() < b.width(); });
        QCOMPARE(sizes, sides);
        QCOMPARE(
            icon.pixmap(32).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied), drawn);
    }
}

void TestForm1::firstSight()
{
    QFETCH(Profile, profile);
    FormFixture game;
    Form1 &form = game.open(*profile);
    QVERIFY(form.isVisible());
    for (int i = 1; i <= profile->cellCount; ++i)
        QVERIFY(!form.Image1[i]->isVisible());

    const QImage shot = form.grab().toImage();
    const QColor grey(192, 192, 192);
    QCOMPARE(shot.pixelColor(3, 3), grey);
    QCOMPARE(shot.pixelColor(form.width() - 2, 3), grey);
    for (int k = 0; k < profile->cellCount; ++k) {
        const QPoint corner = pixels(cellTopLeftTwips(k, profile->gridSide));
        for (QPoint inside : { QPoint(1, 1), QPoint(20, 20), QPoint(38, 38) })
            QCOMPARE(shot.pixelColor(corner + inside), QColor(Qt::white));
        QCOMPARE(shot.pixelColor(corner + QPoint(44, 20)), grey);
    }
}

void TestForm1::permutationThroughTheControls_data()
{
    QTest::addColumn<QString>("count");
    QTest::addColumn<QList<double>>("values");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("one") << "1" << QList<double> { 0.4 } << QStringList { "1" };
    QTest::newRow("two, low draw first")
        << "2" << QList<double> { 0.2, 0.1, 0.9 } << QStringList { "1", "2" };
    QTest::newRow("two, half draws high")
        << "2" << QList<double> { 0.5, 0.0 } << QStringList { "2", "1" };
    QTest::newRow("leading number of the text")
        << " 3 tiles" << QList<double> { 0.25, 0.0, 0.99 } << QStringList { "2", "1", "3" };
}

void TestForm1::permutationThroughTheControls()
{
    QFETCH(QString, count);
    QFETCH(QList<double>, values);
    QFETCH(QStringList, expected);
    FormFixture game;
    Form1 &form = game.open(kEdition1);
    const int reseeds = game.platform.reseeds;
    form.txtNum->setText(count);
    game.platform.randomValues = values;
    form.proc2();
    QCOMPARE(entries(form.lstRand), expected);
    QCOMPARE(game.platform.reseeds, reseeds + 1);
}

void TestForm1::nonPositiveCountLeavesTheList_data()
{
    QTest::addColumn<QString>("count");
    QTest::newRow("zero") << "0";
    QTest::newRow("negative") << "-5";
    QTest::newRow("no number") << "abc";
    QTest::newRow("empty") << "";
}

void TestForm1::nonPositiveCountLeavesTheList()
{
    QFETCH(QString, count);
    FormFixture game;
    Form1 &form = game.open(kEdition1);
    const QStringList before = entries(form.lstRand);
    const int reseeds = game.platform.reseeds;
    form.txtNum->setText(count);
    form.proc2();
    QCOMPARE(entries(form.lstRand), before);
    QCOMPARE(game.platform.reseeds, reseeds);
}

void TestForm1::secondCallHoldsOnlyItsOwnEntries()
{
    FormFixture game;
    Form1 &form = game.open(kEdition31);
    form.txtNum->setText(QStringLiteral("200"));
    form.proc2();
    QCOMPARE(form.lstRand->count(), 200);
    form.txtNum->setText(QStringLiteral("16"));
    form.proc2();
    QStringList sorted = entries(form.lstRand);
    std::sort(sorted.begin(), sorted.end(),
        [](const QString &a, const QString &b) { return a.toInt() < b.toInt(); });
    QStringList expected;
    for (int n = 1; n <= 16; ++n)
        expected.append(QString::number(n));
    QCOMPARE(sorted, expected);
}

// Both permutations of a deal are drawn in the same instant, and so are the
// deals of two copies started together.
void TestForm1::sameTimerGivesFreshPermutations()
{
    FormFixture game;
    Form1 &form = game.open(kEdition31);
    form.txtNum->setText(QStringLiteral("200"));
    form.proc2();
    const QStringList first = entries(form.lstRand);
    form.proc2();
    QVERIFY(entries(form.lstRand) != first);
}

void TestForm1::placement()
{
    QFETCH(Profile, profile);
    FormFixture game;
    Form1 &form = game.open(*profile);
    QStringList permutation;
    for (int i = profile->cellCount; i >= 1; --i)
        permutation.append(QString::number(i));
    permutation.swapItemsAt(0, 36 % profile->cellCount);
    form.lstRand->clear();
    form.lstRand->addItems(permutation);
    form.shuffleC();

    QList<QPoint> corners;
    for (int k = 0; k < profile->cellCount; ++k) {
        const int tile = permutation.at(k).toInt();
        const QPoint corner = pixels(cellTopLeftTwips(k, profile->gridSide));
        QCOMPARE(form.c1[tile]->pos(), corner);
        QCOMPARE(form.Image1[tile]->pos(), corner);
        corners.append(corner);
    }
    QCOMPARE(form.c1[permutation.first().toInt()]->pos(), QPoint(8, 8));
    QCOMPARE(form.c1[permutation.at(profile->gridSide).toInt()]->pos(), QPoint(8, 56));
    const int last = 8 + 48 * (profile->gridSide - 1);
    QCOMPARE(corners.last(), QPoint(last, last));
}

void TestForm1::picturesForEveryPair()
{
    FormFixture game;
    Form1 &form = game.open(kEdition31);
    form.GetIcons();
    QCOMPARE(form.lstRand->count(), 200);
    QSet<int> shown;
    for (int i = 1; i <= 50; ++i) {
        const int chosen = form.lstRand->item(i)->text().toInt();
        QCOMPARE(iconNumberOf(form.Image1[i]->picture()), chosen);
        QCOMPARE(iconNumberOf(form.Image1[i + 50]->picture()), chosen);
        // The test icons hold no names.
        QCOMPARE(pictureName(form.Image1[i]->picture()), QStringLiteral("picture %1").arg(chosen));
        shown.insert(chosen);
    }
    QCOMPARE(shown.size(), 50);
    QVERIFY(!shown.contains(form.lstRand->item(0)->text().toInt()));
}

void TestForm1::noIconFolderKeepsPictures()
{
    FormFixture game(false);
    Form1 &form = game.open(kEdition31);
    QList<QImage> before;
    for (int i = 0; i <= 100; ++i)
        before.append(form.Image1[i]->picture());
    QVERIFY(!before[1].isNull());
    form.Reset();
    QVERIFY(game.platform.messages.isEmpty());
    QCOMPARE(form.lstRand->count(), 100);
    for (int i = 0; i <= 100; ++i)
        QCOMPARE(form.Image1[i]->picture(), before[i]);
}

void TestForm1::badIconEndsTheLoading_data()
{
    QTest::addColumn<QByteArray>("how");
    for (const char *how :
        { "missing", "zero bytes", "truncated", "png renamed", "huge claim", "directory", "fifo" })
        QTest::newRow(how) << QByteArray(how);
}

void TestForm1::badIconEndsTheLoading()
{
    QFETCH(QByteArray, how);
    FormFixture game;
    for (int n = 5; n <= 200; n += 5)
        breakIcon(iconFilePath(game.dir.path(), n), how);
    Form1 &form = game.open(kEdition31);
    QList<QImage> before;
    for (int i = 0; i <= 100; ++i)
        before.append(form.Image1[i]->picture());

    form.GetIcons();
    int broken = 0;
    for (int i = 1; i <= 50 && !broken; ++i)
        if (form.lstRand->item(i)->text().toInt() % 5 == 0)
            broken = i;
    QVERIFY2(broken > 0, "the deal drew no broken file");
    for (int i = 1; i <= 50; ++i) {
        const int chosen = form.lstRand->item(i)->text().toInt();
        if (i < broken)
            QCOMPARE(iconNumberOf(form.Image1[i]->picture()), chosen);
        else
            QCOMPARE(form.Image1[i]->picture(), before[i]);
        QCOMPARE(form.Image1[i + 50]->picture(), before[i + 50]);
    }
}

void TestForm1::builtinPicturesFormPairsOnSmallBoards_data()
{
    QTest::addColumn<Profile>("profile");
    QTest::addColumn<int>("pairsAlike");
    QTest::newRow("tilvane-v1") << &kEdition1 << 8;
    QTest::newRow("tilvane-v2") << &kEdition2 << 18;
    QTest::newRow("tilvane-v31") << &kEdition31 << 15;
}

void TestForm1::builtinPicturesFormPairsOnSmallBoards()
{
    QFETCH(Profile, profile);
    QFETCH(int, pairsAlike);
    FormFixture game(false);
    Form1 &form = game.open(*profile);
    int alike = 0;
    QSet<qint64> distinct;
    for (int i = 1; i <= profile->cellCount; ++i) {
        QVERIFY(!form.Image1[i]->picture().isNull());
        distinct.insert(form.Image1[i]->picture().cacheKey());
    }
    for (int i = 1; i <= profile->pairCount; ++i)
        alike += form.Image1[i]->picture() == form.Image1[i + profile->pairCount]->picture();
    QCOMPARE(alike, pairsAlike);
    if (profile->hasTileZero) {
        QCOMPARE(form.Image1[0]->picture(), form.Image1[35]->picture());
        QCOMPARE(form.Image1[7]->picture(), form.Image1[97]->picture());
    }
}

void TestForm1::resetClearsTheGame()
{
    FormFixture game;
    Form1 &form = game.open(kEdition2);
    game.clickTile(1);
    game.clickTile(2);
    game.platform.now = QDateTime(QDate(2026, 12, 8), QTime(23, 1, 2, 987));
    form.Reset();
    QCOMPARE(form.gameState.clickCount, 0.0);
    QCOMPARE(form.gameState.pickState, 0);
    QCOMPARE(form.gameState.pairsFound, 0);
    QCOMPARE(form.gameState.startTime, 23 * 3600 + 60 + 2);
    for (int i = 1; i <= 36; ++i)
        QVERIFY(!game.faceUp(i));
}

void TestForm1::faceUpTileTakesNoClick()
{
    FormFixture game;
    Form1 &form = game.open(kEdition2);
    game.clickTile(4);
    QVERIFY(game.faceUp(4));
    game.clickTile(4);
    QCOMPARE(form.gameState.clickCount, 1.0);
    QCOMPARE(form.gameState.pickState, 1);
    QCOMPARE(form.gameState.firstPick, 4);
}

void TestForm1::releaseOffTheTileIsNoClick_data()
{
    QTest::addColumn<QPoint>("offset");
    QTest::newRow("onto the gap beside it") << QPoint(24, 0);
    QTest::newRow("onto the next tile") << QPoint(48, 0);
    QTest::newRow("onto the background") << QPoint(0, -100);
}

// A press on a tile taken back by releasing elsewhere turns nothing.
void TestForm1::releaseOffTheTileIsNoClick()
{
    QFETCH(QPoint, offset);
    FormFixture game;
    Form1 &form = game.open(kEdition2);
    const QPoint pressed = form.c1[4]->geometry().center();
    QTest::mousePress(form.windowHandle(), Qt::LeftButton, {}, pressed);
    QTest::mouseRelease(form.windowHandle(), Qt::LeftButton, {}, pressed + offset);
    QCOMPARE(form.gameState.clickCount, 0.0);
    for (int i = 1; i <= 36; ++i)
        QVERIFY(!game.faceUp(i));
}

void TestForm1::mismatchStaysUntilTheNextClick()
{
    FormFixture game;
    Form1 &form = game.open(kEdition2);
    game.clickTile(4);
    game.clickTile(5);
    QCOMPARE(form.gameState.pickState, 3);
    game.clickTile(4);
    game.clickTile(5);
    QVERIFY(game.faceUp(4) && game.faceUp(5));
    QCOMPARE(form.gameState.clickCount, 2.0);

    game.clickTile(30);
    QVERIFY(!game.faceUp(4) && !game.faceUp(5));
    QVERIFY(game.faceUp(30));
    QCOMPARE(form.gameState.pickState, 1);
    QCOMPARE(form.gameState.firstPick, 30);
    QCOMPARE(form.gameState.clickCount, 3.0);
}

void TestForm1::partnersMatchWhereverTheyLie()
{
    FormFixture game;
    Form1 &form = game.open(kEdition31);
    for (int i : { 50, 7, 33 }) {
        game.clickTile(i + 50);
        game.clickTile(i);
    }
    QCOMPARE(form.gameState.pairsFound, 3);
    QCOMPARE(form.gameState.pickState, 0);
    for (int i : { 50, 7, 33 })
        QVERIFY(game.faceUp(i) && game.faceUp(i + 50));
    game.clickTile(1);
    game.clickTile(2);
    game.clickTile(3);
    QVERIFY(game.faceUp(7) && game.faceUp(57));
}

void TestForm1::samePictureIsNoPair()
{
    FormFixture game(false);
    Form1 &form = game.open(kEdition31);
    QCOMPARE(form.Image1[35]->picture(), form.Image1[51]->picture());
    game.clickTile(35);
    game.clickTile(51);
    QCOMPARE(form.gameState.pickState, 3);
    QCOMPARE(form.gameState.pairsFound, 0);
}

void TestForm1::backgroundAndFooterDoNothing()
{
    FormFixture game;
    Form1 &form = game.open(kEdition31);
    game.clickAt(QPoint(4, 4));
    game.clickAt(QPoint(50, 30));
    game.clickAt(QPoint(200, 486));
    QCOMPARE(form.gameState.clickCount, 0.0);
}

void TestForm1::perfectGame()
{
    QFETCH(Profile, profile);
    FormFixture game;
    Form1 &form = game.open(*profile);
    const int pairs = profile->pairCount;
    GameState atTheEnd;
    bool lastFaceUp = false;
    game.platform.onMessage = [&](const ScriptedPlatform::Message &) {
        if (game.platform.messages.size() == 1) {
            atTheEnd = form.gameState;
            lastFaceUp = game.faceUp(1);
        }
    };
    for (int i = pairs; i >= 1; --i) {
        QVERIFY(game.platform.messages.isEmpty());
        game.clickTile(i + pairs);
        game.clickTile(i);
    }
    QVERIFY(!game.platform.messages.isEmpty());
    QCOMPARE(atTheEnd.pickState, 0);
    QCOMPARE(atTheEnd.pairsFound, pairs);
    QCOMPARE(atTheEnd.clickCount, double(pairs));
    QVERIFY(lastFaceUp);
}

void TestForm1::keysOnTheBoard_data()
{
    QTest::addColumn<bool>("keyboardPlay");
    QTest::addColumn<Keys>("keys");
    QTest::addColumn<int>("focusedCell");
    QTest::addColumn<double>("clicks");
    const Keys everyKey { Qt::Key_Tab, Qt::Key_Right, Qt::Key_Down, Qt::Key_Space, Qt::Key_Return,
        Qt::Key_Enter, Qt::Key_Home, Qt::Key_End, Qt::ControlModifier | Qt::Key_End, Qt::Key_A };
    QTest::newRow("off: no key does a thing") << false << everyKey << -1 << 0.0;
    QTest::newRow("on: the first tile to start with") << true << Keys {} << 0 << 0.0;
    QTest::newRow("on: arrows") << true << Keys { Qt::Key_Right, Qt::Key_Down, Qt::Key_Down } << 9
                                << 0.0;
    QTest::newRow("on: the edges stop the focus")
        << true << Keys { Qt::Key_Up, Qt::Key_Left, Qt::Key_End, Qt::Key_Right } << 3 << 0.0;
    QTest::newRow("on: Ctrl+End, then Home")
        << true << Keys { Qt::ControlModifier | Qt::Key_End, Qt::Key_Home } << 12 << 0.0;
    QTest::newRow("on: Space turns, Return and Enter too")
        << true
        << Keys { Qt::Key_Space, Qt::Key_Right, Qt::Key_Return, Qt::Key_Right, Qt::Key_Enter } << 2
        << 3.0;
    QTest::newRow("on: a face-up tile ignores Space")
        << true << Keys { Qt::Key_Space, Qt::Key_Space, Qt::Key_Return } << 0 << 1.0;
    QTest::newRow("on: Tab stays on the board")
        << true << Keys { Qt::Key_Tab, Qt::Key_Backtab } << 0 << 0.0;
}

// Off, the window is the game as it has always been: the focus on the text
// box, and nothing on the board changes for any key, neither what a screen
// reader finds nor a pixel.
void TestForm1::keysOnTheBoard()
{
    QFETCH(bool, keyboardPlay);
    QFETCH(Keys, keys);
    QFETCH(int, focusedCell);
    QFETCH(double, clicks);
    setUpApplication(kEdition1);
    FormFixture game;
    Form1 &form = game.openForKeys(kEdition1, keyboardPlay);
    const QImage before = form.grab().toImage();
    const QStringList names = tileNames(form);
    if (!keyboardPlay)
        QCOMPARE(QApplication::focusWidget(), form.txtNum);
    for (QKeyCombination key : keys)
        game.pressKey(key);
    const QList<TileCover *> cells = form.tilesByCell();
    QCOMPARE(cells.indexOf(qobject_cast<TileCover *>(QApplication::focusWidget())), focusedCell);
    QCOMPARE(form.gameState.clickCount, clicks);
    const QImage after = form.grab().toImage();
    if (!keyboardPlay) {
        QVERIFY(QApplication::focusWidget() == form.txtNum
            || QApplication::focusWidget() == form.lstRand);
        QCOMPARE(tileNames(form), names);
        QCOMPARE(after, before);
        QVERIFY(!frameAround(after, cells[0]));
        return;
    }
    for (int cell = 0; cell < cells.size(); ++cell)
        QCOMPARE(frameAround(after, cells[cell]), cell == focusedCell);
    QCOMPARE(game.faceUp(cells[focusedCell]->index()), clicks > 0);
    // The frame lies outside the tile: the picture keeps every pixel.
    const QRect tile = cells[focusedCell]->geometry();
    QCOMPARE(after.pixelColor(tile.topLeft() - QPoint(1, 1)), QColor(Qt::white));
    form.setKeyboardPlay(false);
    QCOMPARE(form.grab().toImage().copy(tile), after.copy(tile));
}

void TestForm1::keyboardAndMouseMix()
{
    FormFixture game;
    Form1 &form = game.openForKeys(kEdition2);
    const QList<TileCover *> cells = form.tilesByCell();
    game.clickTile(cells[8]->index());
    QCOMPARE(QApplication::focusWidget(), cells[8]);
    game.pressKey(Qt::Key_Right);
    game.pressKey(Qt::Key_Space);
    QCOMPARE(form.gameState.clickCount, 2.0);
    QVERIFY(game.faceUp(cells[8]->index()) && game.faceUp(cells[9]->index()));
}

// After Yes the new deal begins on the first tile, whichever tile ended the
// last game.
void TestForm1::newDealFocusesTheFirstTile()
{
    FormFixture game;
    Form1 &form = game.openForKeys(kEdition1);
    game.platform.answers = { Platform::Answer::Yes };
    for (int i = 8; i >= 1; --i) {
        game.clickTile(i + 8);
        game.clickTile(i);
    }
    QCOMPARE(game.platform.messages.size(), 2);
    QCOMPARE(form.gameState.clickCount, 0.0);
    QCOMPARE(QApplication::focusWidget(), form.tilesByCell().first());
}

// The focused tile is the screen reader's focus, and the window tells the
// state of the game; the controls that only hold data are no objects a
// screen reader could be sent events of. (The events themselves need a
// screen reader: tests/e2e/v1_orca.py.)
void TestForm1::screenReaderFindsTheFocusedTile()
{
    setUpApplication(kEdition1);
    FormFixture game;
    Form1 &form = game.openForKeys(kEdition1);
    QAccessibleInterface *window = QAccessible::queryAccessibleInterface(&form);
    QCOMPARE(window->text(QAccessible::Description), QStringLiteral("0 tries, 0 of 8 pairs found"));
    const QList<TileCover *> cells = form.tilesByCell();
    game.pressKey(Qt::Key_Down);
    QAccessibleInterface *tile = window->focusChild();
    QCOMPARE(tile->object(), cells[4]);
    QVERIFY(tile->state().focused && tile->state().focusable);
    QCOMPARE(tile->text(QAccessible::Description), QStringLiteral("row 2, column 1"));
    game.pressKey(Qt::Key_Space);
    QCOMPARE(window->focusChild()->text(QAccessible::Name),
        pictureName(form.Image1[cells[4]->index()]->picture()));
    game.pressKey(Qt::Key_Up);
    game.pressKey(Qt::Key_Space);
    QCOMPARE(window->text(QAccessible::Description),
        QStringLiteral("1 try, %1 of 8 pairs found").arg(form.gameState.pairsFound));
    for (QWidget *hidden :
        { static_cast<QWidget *>(form.txtNum), static_cast<QWidget *>(form.lstRand) })
        QVERIFY(!QAccessible::queryAccessibleInterface(hidden)->isValid());

    form.setKeyboardPlay(false);
    QCOMPARE(window->focusChild(), nullptr);
    QVERIFY(!QAccessible::queryAccessibleInterface(cells[4])->state().focusable);
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
