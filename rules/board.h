// SPDX-License-Identifier: MIT
#pragma once

#include <QPoint>

// Top-left corner, in twips, of grid position k (0-based, row by row from
// the top-left) on a board gridSide tiles wide.
constexpr QPoint cellTopLeftTwips(int k, int gridSide)
{
    return { 120 + 720 * (k % gridSide), 120 + 720 * (k / gridSide) };
}

// The grid position whose top-left corner is `topLeftTwips`, or -1 when no
// position of the board has its corner there.
constexpr int cellAtTwips(QPoint topLeftTwips, int gridSide)
{
    const int column = (topLeftTwips.x() - 120) / 720;
    const int row = (topLeftTwips.y() - 120) / 720;
    const int k = row * gridSide + column;
    const bool onBoard = column >= 0 && column < gridSide && row >= 0 && row < gridSide;
    return onBoard && cellTopLeftTwips(k, gridSide) == topLeftTwips ? k : -1;
}

inline constexpr int kTileTwips = 600;
