// SPDX-License-Identifier: MIT
#include "firstframequit.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

FirstFrameQuit::FirstFrameQuit(QWidget *window)
    : QObject(window)
{
    window->installEventFilter(this);
}

bool FirstFrameQuit::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Paint && !m_painted) {
        m_painted = true;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}
