// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QPainterPath>
#include <QPolygonF>

class QPainter;

// Draws the glyphs of the built-in pictures in a 100 x 100 box: shapes in
// an accent colour or white, each outlined in ink, and plain ink marks.
class GlyphCanvas
{
public:
    enum class Tone { Ink, Accent, White };

    GlyphCanvas(QPainter &painter, QColor accent);

    QColor color(Tone tone) const;

    void fill(const QPainterPath &path, Tone tone);
    void disc(QPointF centre, double radius, Tone tone);
    void ellipse(QPointF centre, double rx, double ry, Tone tone);
    void box(const QRectF &rect, Tone tone, double radius = 0);
    void polygon(const QPolygonF &points, Tone tone);

    // A band along the path: ink alone, or a coloured core with ink edges.
    void stroke(const QPainterPath &path, double width, Tone tone);
    void line(QPointF from, QPointF to, double width, Tone tone);
    void polyline(const QPolygonF &points, double width, Tone tone);

private:
    QPainter &m_painter;
    QColor m_accent;
};
