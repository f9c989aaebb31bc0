// SPDX-License-Identifier: MIT
#include "tilecover.h"

#include "tileface.h"
#include "twips.h"

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
    Q_EMIT renamed();
}

QRect TileCover::focusFrame() const
{
    // Half the gap of 120 twips between two tiles.
    const int width = twipsToPixels(60);
    return geometry().adjusted(-width, -width, width, width);
}

void TileCover::focusInEvent(QFocusEvent *event)
{
    parentWidget()->update(focusFrame());
    QLabel::focusInEvent(event);
}

void TileCover::focusOutEvent(QFocusEvent *event)
{
    parentWidget()->update(focusFrame());
    QLabel::focusOutEvent(event);
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
