// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

// Whether the system says a screen reader runs, followed while the program
// runs; one source per system (screenreader_unix.cpp, screenreader_win.cpp).
// The system may answer only after the first look: running() is false until
// then, and runningChanged tells the answer.
class ScreenReader : public QObject
{
    Q_OBJECT
public:
    explicit ScreenReader(QObject *parent = nullptr);
    ~ScreenReader() override;

    bool running() const { return m_running; }

Q_SIGNALS:
    void runningChanged(bool running);

private:
    // Called by the system's side with what the system says.
    void take(bool running)
    {
        if (running == m_running)
            return;
        m_running = running;
        Q_EMIT runningChanged(running);
    }

    bool m_running = false;
    struct Watch;
    Watch *m_watch = nullptr;
};
