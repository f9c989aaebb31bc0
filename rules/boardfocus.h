// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <Qt>

// Where the keyboard focus goes on a board gridSide tiles wide, from grid
// position `cell` (0-based, row by row), for a key with its modifiers: the
// arrows move one tile and stop at the edges, Home and End go to the ends
// of the row, and with Ctrl to the ends of the board. -1 for any other key.
int focusCellAfterKey(int cell, int key, Qt::KeyboardModifiers modifiers, int gridSide);

// The state of a game in a few words: "12 tries, 5 of 8 pairs found".
QString progressText(int tries, int pairsFound, int pairCount);
