// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

// The record of one game. Tiles i and i + pairCount form a pair; whether two
// tiles match is decided from their indexes alone, never from their pictures.
struct GameState {
    // 0: no tile of the attempt is up; 1: the first is up; 3: two tiles that
    // do not match are up. (2 exists only inside a click.)
    qint16 pickState = 0;
    qint16 firstPick = 0;
    qint16 secondPick = 0;
    qint16 pairsFound = 0;
    // Clicks on face-down tiles; holds the tries once the game has ended.
    double clickCount = 0;
    // Whether clickCount holds the tries already.
    bool triesCounted = false;
    // Times of day and the time played, in whole seconds.
    int startTime = 0;
    int endTime = 0;
    int elapsedTime = 0;

    // What one click on a face-down tile asks of the board, in this order:
    // hide the two tiles of an earlier mismatch (0 when none), then show `show`.
    struct Turn {
        qint16 hideFirst = 0;
        qint16 hideSecond = 0;
        qint16 show = 0;
        // `show` completed a pair: the tile turned before it is found too.
        bool pairFound = false;
        bool lastPair = false;
    };

    // Clears the counters for a new deal. The picks keep their stale values.
    void clearCounters();
    // Turns the clicks of an ended game into its tries, in place: two clicks
    // make a try, an odd one left over does not.
    void countTries();
    // The tries so far, whether or not the clicks have been turned into them.
    int tries() const;
    // The click rules. `index` must be a face-down tile: face-up tiles never
    // reach this far.
    Turn click(qint16 index, int pairCount);
    bool isPartner(qint16 a, qint16 b, int pairCount) const;
    // Whether face-up tile `index` belongs to the attempt under way (the one
    // tile turned, or two that do not match) rather than to a pair found.
    bool inAttempt(qint16 index) const;
};
