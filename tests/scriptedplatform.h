// SPDX-License-Identifier: MIT
// A platform whose clock, generator, dialogs, folders and end a test sets.
#pragma once

#include "platform.h"
#include "seededrandom.h"

#include <functional>
#include <QHash>
#include <QList>
#include <QStringList>

class ScriptedPlatform : public Platform
{
public:
    struct Message {
        QString text;
        Buttons buttons;
        Icon icon;
        QString title;
    };
    struct Prompt {
        QString prompt;
        QString title;
    };

    QDateTime now { QDate(2026, 12, 7), QTime(14, 5, 9) };
    // Served first, one per reading of the clock; `now` once they run out.
    QList<QDateTime> clockReadings;
    float timerValue = 50709.0f;
    // The steady clock: readings served first, then `steadyMs`.
    QList<qint64> steadyReadings;
    qint64 steadyMs = 0;
    // Served first, in order; the seeded generator takes over when they run out.
    QList<double> randomValues;
    SeededRandom random { 0x5eed };
    int reseeds = 0;

    // Answers to the Yes/No questions, in order; No when they run out.
    QList<Answer> answers;
    // Texts typed into input boxes, in order; empty (cancelled) when they run out.
    QStringList typed;
    QList<Message> messages;
    QList<Prompt> prompts;
    // Called as each message box opens, before it is answered.
    std::function<void(const Message &)> onMessage;

    QString folder;
    QHash<QString, QString> environment;
    double screenWidth = 1920.0 * 15;

    QList<int> endStatuses;
    QStringList failures;
    // Each change of the busy cursor, on (true) or off.
    QList<bool> busyChanges;

    QDateTime currentDateTime() override
    {
        return clockReadings.isEmpty() ? now : clockReadings.takeFirst();
    }
    float timer() override { return timerValue; }
    qint64 steadyMilliseconds() override
    {
        return steadyReadings.isEmpty() ? steadyMs : steadyReadings.takeFirst();
    }
    void reseed(float timerValue) override
    {
        ++reseeds;
        random.reseed(timerValue);
    }
    double nextRandom() override
    {
        return randomValues.isEmpty() ? random.next() : randomValues.takeFirst();
    }
    Answer messageBox(
        const QString &text, Buttons buttons, Icon icon, const QString &title) override
    {
        messages.append({ text, buttons, icon, title });
        if (onMessage)
            onMessage(messages.last());
        if (buttons == Buttons::Ok)
            return Answer::Ok;
        return answers.isEmpty() ? Answer::No : answers.takeFirst();
    }
    QString inputBox(const QString &prompt, const QString &title) override
    {
        prompts.append({ prompt, title });
        return typed.isEmpty() ? QString() : typed.takeFirst();
    }
    QString programFolder() override { return folder; }
    QString environmentVariable(const QString &name) override { return environment.value(name); }
    double screenWidthTwips() override { return screenWidth; }
    void endProgram(int status) override { endStatuses.append(status); }
    void showBusy(bool busy) override { busyChanges.append(busy); }
    void reportFailure(const QString &message) override
    {
        failures.append(message);
        endProgram(1);
    }
};
