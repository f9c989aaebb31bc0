// SPDX-License-Identifier: MIT
#include "tileface.h"

#include "builtinpictures.h"

#include <QMouseEvent>
#include <QPainter>

TileFace::TileFace(QWidget *parent)
    : QWidget(parent)
{
}

void TileFace::setPicture(const QImage &picture)
{
    m_picture = picture;
    m_builtinPicture = 0;
    m_scaled = QPixmap();
    update();
}

void TileFace::setBuiltinPicture(int number)
{
    setPicture(QImage());
    m_builtinPicture = number;
}

QImage TileFace::picture() const
{
    return m_builtinPicture ? builtinPicture(m_builtinPicture) : m_picture;
}

void TileFace::paintEvent(QPaintEvent *)
{
    const QImage shown = picture();
    if (shown.isNull())
        return;
    const qreal ratio = devicePixelRatioF();
    const QSize wanted = size() * ratio;
    if (m_scaled.isNull() || m_scaled.size() != wanted) {
        m_scaled = QPixmap::fromImage(
            shown.scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
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
