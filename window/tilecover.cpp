// SPDX-License-Identifier: MIT
#include "tilecover.h"

#include "tileface.h"

#include <QAccessible>
#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

TileCover::TileCover(qint16 index, QWidget *parent)
    : QLabel(parent)
    , m_index(index)
{
    // Painting the white square itself spares each of the hundred covers a
    // palette of its own.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TileCover::setFace(TileFace *face)
{
    m_face = face;
    face->installEventFilter(this);
}

void TileCover::press()
{
    if (QApplication::activeModalWidget() || parentWidget()->childAt(geometry().center()) != this) {
        return;
    }
    Q_EMIT clicked(m_index);
}

void TileCover::announceName()
{
    if (!QAccessible::isActive())
        return;
    QAccessibleEvent event(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
}

bool TileCover::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_face
        && (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent)) {
        announceName();
    }
    return QLabel::eventFilter(watched, event);
}

void TileCover::paintEvent(QPaintEvent *)
{
    QPainter(this).fillRect(rect(), Qt::white);
}

void TileCover::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button() == Qt::LeftButton;
}

void TileCover::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton
        && rect().contains(event->position().toPoint());
    m_pressed = false;
    if (click)
        Q_EMIT clicked(m_index);
}
