// SPDX-License-Identifier: MIT
#include "gamestate.h"

void GameState::clearCounters()
{
    clickCount = 0;
    pairsFound = 0;
    pickState = 0;
    triesCounted = false;
}

void GameState::countTries()
{
    clickCount = static_cast<double>(static_cast<qint32>(clickCount) / 2);
    triesCounted = true;
}

int GameState::tries() const
{
    return triesCounted ? static_cast<qint32>(clickCount) : static_cast<qint32>(clickCount) / 2;
}

bool GameState::isPartner(qint16 a, qint16 b, int pairCount) const
{
    return a + pairCount == b || a - pairCount == b;
}

GameState::Turn GameState::click(qint16 index, int pairCount)
{
    Turn turn;
    clickCount += 1;
    if (pickState == 3) {
        turn.hideFirst = firstPick;
        turn.hideSecond = secondPick;
        pickState = 0;
    }
    turn.show = index;
    if (pickState == 0) {
        pickState = 1;
        firstPick = index;
        return turn;
    }
    pickState = 2;
    secondPick = index;
    if (isPartner(firstPick, secondPick, pairCount)) {
        pickState = 0;
        ++pairsFound;
        turn.pairFound = true;
        turn.lastPair = pairsFound == pairCount;
    } else {
        pickState = 3;
    }
    return turn;
}

bool GameState::inAttempt(qint16 index) const
{
    return (pickState == 1 && index == firstPick)
        || (pickState == 3 && (index == firstPick || index == secondPick));
}
