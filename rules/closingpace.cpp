// SPDX-License-Identifier: MIT
#include "closingpace.h"

#include <cmath>

ClosingPace::ClosingPace(double topTwips, double screenWidthTwips, int stepTwips)
    : m_steps(1)
{
    if (topTwips <= screenWidthTwips) {
        // Reaching the width exactly is not yet past it.
        const double steps = std::floor((screenWidthTwips - topTwips) / stepTwips) + 1;
        m_steps = int(qMin(steps, double(MaxSteps)));
    }
}

int ClosingPace::stepsDue(qint64 elapsedMs, int stepsMade) const
{
    const qint64 onTime = qint64(m_steps) * qBound(qint64(0), elapsedMs, BudgetMs) / BudgetMs;
    return int(qMax(qint64(stepsMade) + 1, onTime));
}
