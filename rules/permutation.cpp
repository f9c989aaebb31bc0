// SPDX-License-Identifier: MIT
#include "permutation.h"

#include <cmath>
#include <vector>

int roundHalfEven(double value)
{
    return static_cast<int>(std::nearbyint(value));
}

QList<int> drawPermutation(int n, const std::function<double()> &next)
{
    QList<int> drawn;
    if (n <= 0)
        return drawn;
    drawn.reserve(n);
    std::vector<bool> taken(static_cast<size_t>(n) + 1, false);
    for (int i = 1; i <= n; ++i) {
        int r = 0;
        do {
            r = roundHalfEven(next() * (n - 1) + 1);
        } while (taken[static_cast<size_t>(r)]);
        taken[static_cast<size_t>(r)] = true;
        drawn.append(r);
    }
    return drawn;
}

int listColumns(double listWidth, double countTextWidth)
{
    if (countTextWidth <= 0)
        return 1;
    return roundHalfEven(listWidth / (1.5 * countTextWidth));
}
