// SPDX-License-Identifier: MIT
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

QTEST_GUILESS_MAIN(TestGameState)
#include "tst_gamestate.moc"
