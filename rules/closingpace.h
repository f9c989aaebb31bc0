// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

// The closing animation's timetable. On an idle machine it runs as fast as
// the window system moves the window; a busy one only gets as many steps as
// fit in its time, the rest are left out, since the player asked to quit.
class ClosingPace
{
public:
    static constexpr qint64 BudgetMs = 2000;
    // Far beyond any screen; keeps the arithmetic in range.
    static constexpr int MaxSteps = 1000000;

    // Steps of `stepTwips` that take a window's top from `topTwips` past
    // `screenWidthTwips`: at least one.
    ClosingPace(double topTwips, double screenWidthTwips, int stepTwips);

    int steps() const { return m_steps; }
    bool isOver(qint64 elapsedMs) const { return elapsedMs >= BudgetMs; }
    // How many steps should have been made `elapsedMs` into the animation:
    // at least one more than `stepsMade`, more when it is behind its time.
    int stepsDue(qint64 elapsedMs, int stepsMade) const;

private:
    int m_steps;
};
