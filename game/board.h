// SPDX-License-Identifier: MIT
#pragma once

#include <QPoint>

// Top-left corner, in twips, of grid position k (0-based, row by row from
// the top-left) on a board gridSide tiles wide.
constexpr QPoint cellTopLeftTwips(int k, int gridSide)
{
    return { 120 + 720 * (k % gridSide), 120 + 720 * (k / gridSide) };
}

inline constexpr int kTileTwips = 600;
