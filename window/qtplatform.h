// SPDX-License-Identifier: MIT
#pragma once

#include "platform.h"
#include "seededrandom.h"

#include <QElapsedTimer>

// The platform of the real programs.
class QtPlatform : public Platform
{
public:
    QtPlatform();

    QDateTime currentDateTime() override;
    float timer() override;
    qint64 steadyMilliseconds() override;
    void reseed(float timerValue) override;
    double nextRandom() override;
    Answer messageBox(
        const QString &text, Buttons buttons, Icon icon, const QString &title) override;
    QString inputBox(const QString &prompt, const QString &title) override;
    QString programFolder() override;
    QString environmentVariable(const QString &name) override;
    double screenWidthTwips() override;
    [[noreturn]] void endProgram(int status) override;
    [[noreturn]] void reportFailure(const QString &message) override;
    void showBusy(bool busy) override;

private:
    SeededRandom m_random;
    QElapsedTimer m_steadyClock;
};
