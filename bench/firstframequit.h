// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

class QWidget;

// Ends the event loop (status 0) once the first frame of a top-level window
// is on the screen: after its first paint event, as soon as the event that
// painted it has been handled. The widgets of a window are painted and the
// backing store flushed within that one event, so whatever follows it in
// the queue comes after a complete frame.
class FirstFrameQuit : public QObject
{
public:
    explicit FirstFrameQuit(QWidget *window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool m_painted = false;
};
