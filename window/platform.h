// SPDX-License-Identifier: MIT
// What the game cannot control itself: the clock, the random generator, the
// modal dialogs, where the program lies, the environment, the screen and the
// end of the process. The programs use QtPlatform; tests script their own.
#pragma once

#include <QDateTime>
#include <QString>

class Platform
{
public:
    enum class Buttons { Ok, YesNo };
    enum class Icon { Information, Question, Critical };
    enum class Answer { Ok, Yes, No };

    virtual ~Platform() = default;

    virtual QDateTime currentDateTime() = 0;
    // Seconds since midnight with their fraction, single precision like the
    // timer the seed has always come from.
    virtual float timer() = 0;
    // A clock that only runs forward, whatever is done to the time of day:
    // milliseconds since some fixed moment. It paces the closing animation.
    virtual qint64 steadyMilliseconds() = 0;

    virtual void reseed(float timerValue) = 0;
    // Uniform in [0, 1).
    virtual double nextRandom() = 0;

    // Modal; returns the button pressed.
    virtual Answer messageBox(const QString &text, Buttons buttons, Icon icon, const QString &title)
        = 0;
    // Modal; empty text when cancelled.
    virtual QString inputBox(const QString &prompt, const QString &title) = 0;

    // Full path of the folder holding the program file, without a trailing
    // separator. Never empty: a folder that cannot be named ends the program.
    virtual QString programFolder() = 0;
    // Empty text when unset.
    virtual QString environmentVariable(const QString &name) = 0;
    virtual double screenWidthTwips() = 0;

    // Ends the process at once: nothing of the program runs afterwards.
    // A scripted platform records the status and returns.
    virtual void endProgram(int status) = 0;
    // An error box naming what failed, then endProgram with a non-zero status.
    virtual void reportFailure(const QString &message) = 0;
    // The busy cursor over the program's windows, or the usual one again.
    virtual void showBusy(bool busy) = 0;
};
