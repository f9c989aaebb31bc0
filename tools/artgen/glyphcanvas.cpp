// SPDX-License-Identifier: MIT
#include "glyphcanvas.h"

#include <QPainter>

namespace
{

constexpr double kEdge = 3.5;
const QColor kInk(0x2a, 0x2a, 0x35);
const QColor kWhite(0xff, 0xff, 0xff);

QPen roundPen(const QColor &color, double width)
{
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

} // namespace

GlyphCanvas::GlyphCanvas(QPainter &painter, QColor accent)
    : m_painter(painter)
    , m_accent(accent)
{
}

QColor GlyphCanvas::color(Tone tone) const
{
    switch (tone) {
    case Tone::Ink:
        return kInk;
    case Tone::Accent:
        return m_accent;
    case Tone::White:
        break;
    }
    return kWhite;
}

void GlyphCanvas::fill(const QPainterPath &path, Tone tone)
{
    m_painter.fillPath(path, color(tone));
    if (tone != Tone::Ink)
        m_painter.strokePath(path, roundPen(kInk, kEdge));
}

void GlyphCanvas::disc(QPointF centre, double radius, Tone tone)
{
    ellipse(centre, radius, radius, tone);
}

void GlyphCanvas::ellipse(QPointF centre, double rx, double ry, Tone tone)
{
    QPainterPath path;
    path.addEllipse(centre, rx, ry);
    fill(path, tone);
}

void GlyphCanvas::box(const QRectF &rect, Tone tone, double radius)
{
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    fill(path, tone);
}

void GlyphCanvas::polygon(const QPolygonF &points, Tone tone)
{
    QPainterPath path;
    path.addPolygon(points);
    path.closeSubpath();
    fill(path, tone);
}

void GlyphCanvas::stroke(const QPainterPath &path, double width, Tone tone)
{
    if (tone == Tone::Ink) {
        m_painter.strokePath(path, roundPen(kInk, width));
        return;
    }
    m_painter.strokePath(path, roundPen(kInk, width + 2 * kEdge));
    m_painter.strokePath(path, roundPen(color(tone), width));
}

void GlyphCanvas::line(QPointF from, QPointF to, double width, Tone tone)
{
    polyline({ from, to }, width, tone);
}

void GlyphCanvas::polyline(const QPolygonF &points, double width, Tone tone)
{
    QPainterPath path;
    path.addPolygon(points);
    stroke(path, width, tone);
}
