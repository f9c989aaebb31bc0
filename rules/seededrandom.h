// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

// The game's generator. It is reseeded from the timer before every
// permutation; the timer alone repeats for milliseconds at a time, so the
// seed also mixes in a count of reseeds and a value of this process. Two
// deals drawn in the same instant, or by two copies started together, differ.
class SeededRandom
{
public:
    explicit SeededRandom(quint64 processSalt = 0);

    void reseed(float timerValue);
    // Uniform in [0, 1).
    double next();

private:
    quint64 m_salt;
    quint64 m_reseeds = 0;
    quint64 m_state = 0;
};
