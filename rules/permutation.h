// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <QList>

// Nearest integer, halves to the even neighbour (1.5 -> 2, 2.5 -> 2).
int roundHalfEven(double value);

// The permutation of 1 .. n in the order drawn: r = u * (n - 1) + 1 rounded
// half to even, drawing again while r is taken. The end values 1 and n get
// half the weight of the others in each draw; that bias is part of the game.
// `next` yields values in [0, 1). n <= 0 gives an empty list.
QList<int> drawPermutation(int n, const std::function<double()> &next);

// Columns of the list showing a permutation: its width over 1.5 times the
// width of the count's text.
int listColumns(double listWidth, double countTextWidth);
