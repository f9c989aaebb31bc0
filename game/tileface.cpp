// SPDX-License-Identifier: MIT
#include "tileface.h"

#include <QMouseEvent>
#include <QPainter>

TileFace::TileFace(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void TileFace::setPicture(const QImage &picture)
{
    m_picture = picture;
    m_scaled = QPixmap();
    update();
}

void TileFace::paintEvent(QPaintEvent *)
{
    if (m_picture.isNull())
        return;
    const qreal ratio = devicePixelRatioF();
    const QSize wanted = size() * ratio;
    if (m_scaled.isNull() || m_scaled.size() != wanted) {
        m_scaled = QPixmap::fromImage(
            m_picture.scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        m_scaled.setDevicePixelRatio(ratio);
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_scaled);
}

void TileFace::mousePressEvent(QMouseEvent *event)
{
    event->accept();
}

void TileFace::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
}
