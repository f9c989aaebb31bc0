// SPDX-License-Identifier: MIT
#pragma once

#include <exception>
#include <QByteArray>
#include <QString>

// A Hall-of-Fame file that could not be used, created, read or saved. The
// window shows message() and ends the program.
class HallOfFameError : public std::exception
{
public:
    // What the game attempted: Use is finding a file at start-up (where it
    // need not create one), Write is a save.
    enum class Action { Use, Create, Read, Write };

    HallOfFameError(Action action, const QString &path, const QString &reason);

    // Why an in-place save was refused, in both systems' words.
    static QString hardLinkReason();
    static QString movedReason();

    QString path() const { return m_path; }
    QString reason() const { return m_reason; }
    // For example: Cannot read the Hall of Fame file "/x/Tilvane.ini": No such file or directory
    QString message() const;
    const char *what() const noexcept override;

private:
    Action m_action;
    QString m_path;
    QString m_reason;
    QByteArray m_what;
};
