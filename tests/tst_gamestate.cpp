// SPDX-License-Identifier: MIT
#include "boardfocus.h"
#include "gamestate.h"

#include <QSet>
#include <QTest>

using Tiles = QList<int>;

namespace
{

// Plays the clicks on a board of 8 pairs and tracks which tiles are face up,
// the way the window shows and hides faces.
struct Board {
    GameState state;
    QSet<int> faceUp;
    int endings = 0;

    void click(int index)
    {
        const GameState::Turn turn = state.click(static_cast<qint16>(index), 8);
        if (turn.hideFirst) {
            faceUp.remove(turn.hideFirst);
            faceUp.remove(turn.hideSecond);
        }
        faceUp.insert(turn.show);
        endings += turn.lastPair ? 1 : 0;
    }
};

} // namespace

class TestGameState : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void clicks_data();
    void clicks();
    void perfectGameEndsOnTheLastPair();
    void clearingKeepsThePicks();
    void triesBeforeAndAfterTheEnd_data();
    void triesBeforeAndAfterTheEnd();
    void focusKeys_data();
    void focusKeys();
};

void TestGameState::clicks_data()
{
    QTest::addColumn<Tiles>("clicks");
    QTest::addColumn<int>("pickState");
    QTest::addColumn<int>("pairsFound");
    QTest::addColumn<Tiles>("faceUp");

    QTest::newRow("first pick") << Tiles { 3 } << 1 << 0 << Tiles { 3 };
    QTest::newRow("partner above") << Tiles { 3, 11 } << 0 << 1 << Tiles { 3, 11 };
    QTest::newRow("partner below") << Tiles { 11, 3 } << 0 << 1 << Tiles { 3, 11 };
    QTest::newRow("mismatch stays up") << Tiles { 3, 4 } << 3 << 0 << Tiles { 3, 4 };
    QTest::newRow("next click turns a mismatch back")
        << Tiles { 3, 4, 12 } << 1 << 0 << Tiles { 12 };
    QTest::newRow("turned back, then matched")
        << Tiles { 3, 4, 12, 4 } << 0 << 1 << Tiles { 4, 12 };
    QTest::newRow("pairs stay up through a mismatch")
        << Tiles { 1, 9, 2, 3, 5 } << 1 << 1 << Tiles { 1, 9, 5 };
    QTest::newRow("offset is the pair count, not a neighbour")
        << Tiles { 8, 9 } << 3 << 0 << Tiles { 8, 9 };
    QTest::newRow("index 16 pairs with 8") << Tiles { 16, 8 } << 0 << 1 << Tiles { 8, 16 };
}

void TestGameState::clicks()
{
    QFETCH(Tiles, clicks);
    QFETCH(int, pickState);
    QFETCH(int, pairsFound);
    QFETCH(Tiles, faceUp);
    Board board;
    for (int index : clicks)
        board.click(index);
    QCOMPARE(board.state.pickState, pickState);
    QCOMPARE(board.state.pairsFound, pairsFound);
    QCOMPARE(board.state.clickCount, double(clicks.size()));
    QCOMPARE(board.faceUp, QSet<int>(faceUp.begin(), faceUp.end()));
    QCOMPARE(board.endings, 0);
}

void TestGameState::perfectGameEndsOnTheLastPair()
{
    Board board;
    for (int i = 1; i <= 8; ++i) {
        QCOMPARE(board.endings, 0);
        board.click(i + 8);
        board.click(i);
    }
    QCOMPARE(board.endings, 1);
    QCOMPARE(board.state.pickState, 0);
    QCOMPARE(board.state.pairsFound, 8);
    QCOMPARE(board.state.clickCount, 16.0);
    QCOMPARE(board.faceUp.size(), 16);
}

void TestGameState::clearingKeepsThePicks()
{
    Board board;
    board.click(2);
    board.click(5);
    board.state.clearCounters();
    QCOMPARE(board.state.pickState, 0);
    QCOMPARE(board.state.clickCount, 0.0);
    QCOMPARE(board.state.pairsFound, 0);
    QCOMPARE(board.state.firstPick, 2);
    QCOMPARE(board.state.secondPick, 5);
}

void TestGameState::triesBeforeAndAfterTheEnd_data()
{
    QTest::addColumn<int>("clicks");
    QTest::addColumn<int>("tries");
    QTest::addColumn<QString>("progress");
    QTest::newRow("none") << 0 << 0 << "0 tries, 3 of 8 pairs found";
    QTest::newRow("one turned") << 1 << 0 << "0 tries, 3 of 8 pairs found";
    QTest::newRow("one try") << 2 << 1 << "1 try, 3 of 8 pairs found";
    QTest::newRow("odd click left over") << 101 << 50 << "50 tries, 3 of 8 pairs found";
}

// The tries read the same before the end of a game turns the clicks into
// them and after: a screen reader asks while the last boxes are open.
void TestGameState::triesBeforeAndAfterTheEnd()
{
    QFETCH(int, clicks);
    QFETCH(int, tries);
    QFETCH(QString, progress);
    GameState state;
    state.clickCount = clicks;
    QCOMPARE(state.tries(), tries);
    QCOMPARE(progressText(state.tries(), 3, 8), progress);
    state.countTries();
    QCOMPARE(state.clickCount, double(tries));
    QCOMPARE(state.tries(), tries);
    state.clearCounters();
    QCOMPARE(state.tries(), 0);
}

void TestGameState::focusKeys_data()
{
    QTest::addColumn<int>("side");
    QTest::addColumn<int>("cell");
    QTest::addColumn<QKeyCombination>("key");
    QTest::addColumn<int>("next");
    const QKeyCombination ctrlHome = Qt::ControlModifier | Qt::Key_Home;
    const QKeyCombination ctrlEnd = Qt::ControlModifier | Qt::Key_End;
    QTest::newRow("right") << 4 << 5 << QKeyCombination(Qt::Key_Right) << 6;
    QTest::newRow("left") << 4 << 5 << QKeyCombination(Qt::Key_Left) << 4;
    QTest::newRow("up") << 4 << 5 << QKeyCombination(Qt::Key_Up) << 1;
    QTest::newRow("down") << 4 << 5 << QKeyCombination(Qt::Key_Down) << 9;
    QTest::newRow("right edge: no wrap to the next row")
        << 4 << 7 << QKeyCombination(Qt::Key_Right) << 7;
    QTest::newRow("left edge") << 4 << 8 << QKeyCombination(Qt::Key_Left) << 8;
    QTest::newRow("top edge") << 6 << 3 << QKeyCombination(Qt::Key_Up) << 3;
    QTest::newRow("bottom edge") << 10 << 95 << QKeyCombination(Qt::Key_Down) << 95;
    QTest::newRow("Home: start of the row") << 10 << 57 << QKeyCombination(Qt::Key_Home) << 50;
    QTest::newRow("End: end of the row") << 10 << 57 << QKeyCombination(Qt::Key_End) << 59;
    QTest::newRow("Ctrl+Home: first tile") << 10 << 57 << ctrlHome << 0;
    QTest::newRow("Ctrl+End: last tile") << 10 << 57 << ctrlEnd << 99;
    QTest::newRow("keypad arrow") << 4 << 5 << (Qt::KeypadModifier | Qt::Key_Right) << 6;
    QTest::newRow("Shift+End is End") << 4 << 5 << (Qt::ShiftModifier | Qt::Key_End) << 7;
    QTest::newRow("Space moves nothing") << 4 << 5 << QKeyCombination(Qt::Key_Space) << -1;
    QTest::newRow("a letter moves nothing") << 4 << 5 << QKeyCombination(Qt::Key_A) << -1;
}

void TestGameState::focusKeys()
{
    QFETCH(int, side);
    QFETCH(int, cell);
    QFETCH(QKeyCombination, key);
    QFETCH(int, next);
    QCOMPARE(focusCellAfterKey(cell, key.key(), key.keyboardModifiers(), side), next);
}

QTEST_GUILESS_MAIN(TestGameState)
#include "tst_gamestate.moc"
