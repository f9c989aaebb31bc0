// SPDX-License-Identifier: MIT
#include "appicon.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <QPainter>
#include <QPainterPath>

namespace
{

const QColor kInk(0x1c, 0x1c, 0x24);
const QColor kBack(0x00, 0x72, 0xb2);
const QColor kFace(0xff, 0xf6, 0xe0);
const QColor kStar(0xe6, 0x9f, 0x00);

QPainterPath card()
{
    QPainterPath path;
    path.addRoundedRect(-24, -33, 48, 66, 9, 9);
    return path;
}

QPainterPath star()
{
    QPolygonF points;
    for (int i = 0; i < 10; ++i) {
        const double radius = (i % 2 == 0) ? 19 : 8;
        const double angle = (-90.0 + 36.0 * i) * std::numbers::pi / 180.0;
        points << QPointF(radius * std::cos(angle), radius * std::sin(angle));
    }
    QPainterPath path;
    path.addPolygon(points);
    path.closeSubpath();
    return path;
}

void drawCard(QPainter &p, QPointF at, double turn, const QColor &color, double edge)
{
    p.save();
    p.translate(at);
    p.rotate(turn);
    p.fillPath(card(), color);
    p.strokePath(card(), QPen(kInk, edge, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    if (color == kBack) {
        QPainterPath inlay;
        inlay.addRoundedRect(-15, -24, 30, 48, 5, 5);
        p.strokePath(inlay, QPen(kFace, edge * 0.8));
    } else {
        p.fillPath(star(), kStar);
        p.strokePath(star(), QPen(kInk, edge * 0.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    }
    p.restore();
}

} // namespace

QImage appIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double unitsPerPixel = 100.0 / size;
    p.scale(1 / unitsPerPixel, 1 / unitsPerPixel);
    const double edge = std::max(1.0, size * 0.04) * unitsPerPixel;
    drawCard(p, { 35, 42 }, -14, kBack, edge);
    drawCard(p, { 63, 58 }, 10, kFace, edge);
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}
