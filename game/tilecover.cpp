// SPDX-License-Identifier: MIT
#include "tilecover.h"

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
