// SPDX-License-Identifier: MIT
#include "poolpicture.h"

#include "poolshapes.h"

#include <algorithm>
#include <array>
#include <QPainter>

namespace
{

constexpr int kMotifCount = 8;
static_assert(kPoolShapeCount * kMotifCount == kPoolPictureCount);

struct Tones {
    QColor fill;
    QColor motif;
};

// Colours that stay apart for colour-blind eyes, and lightness that varies
// besides; the motif takes the tone opposite to the fill's lightness. Entries
// three apart, which successive pictures of one silhouette get, differ most.
const std::array<Tones, 10> &palette()
{
    static const QColor light(0xff, 0xf6, 0xe0);
    static const QColor dark(0x26, 0x26, 0x2e);
    static const std::array<Tones, 10> tones { {
        { QColor(0x00, 0x72, 0xb2), light }, // blue
        { QColor(0x56, 0xb4, 0xe9), dark }, // sky blue
        { QColor(0x00, 0x9e, 0x73), light }, // bluish green
        { QColor(0xf0, 0xe4, 0x42), dark }, // yellow
        { QColor(0xd5, 0x5e, 0x00), light }, // vermillion
        { QColor(0xcc, 0x79, 0xa7), dark }, // reddish purple
        { QColor(0x6a, 0x3d, 0x9a), light }, // purple
        { QColor(0xc8, 0xc8, 0xc8), dark }, // grey
        { QColor(0x8c, 0x51, 0x0a), light }, // brown
        { QColor(0xe6, 0x9f, 0x00), dark }, // orange
    } };
    return tones;
}

const QColor kOutline(0x1c, 0x1c, 0x24);

void drawDot(QPainter &p, const PoolShape &shape)
{
    p.drawEllipse(shape.centre, 18, 18);
}

void drawStripes(QPainter &p, const PoolShape &)
{
    for (int y = 5; y < 100; y += 20)
        p.drawRect(QRectF(0, y, 100, 10));
}

void drawPolka(QPainter &p, const PoolShape &)
{
    for (int row = -3; row <= 3; ++row) {
        const double shift = (row % 2 != 0) ? 11 : 0;
        for (int column = -3; column <= 3; ++column)
            p.drawEllipse(QPointF(50 + 22 * column + shift, 50 + 19 * row), 6, 6);
    }
}

void drawChecker(QPainter &p, const PoolShape &)
{
    for (int row = -3; row < 3; ++row)
        for (int column = -3; column < 3; ++column)
            if ((row + column) % 2 == 0)
                p.drawRect(QRectF(50 + 20 * column, 50 + 20 * row, 20, 20));
}

void drawHalf(QPainter &p, const PoolShape &shape)
{
    p.drawRect(QRectF(0, 0, shape.centre.x(), 100));
}

void drawContour(QPainter &p, const PoolShape &shape)
{
    QTransform inset;
    inset.translate(shape.centre.x(), shape.centre.y());
    inset.scale(0.58, 0.58);
    inset.translate(-shape.centre.x(), -shape.centre.y());
    const QColor tone = p.brush().color();
    p.strokePath(
        inset.map(shape.outline), QPen(tone, 7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

void drawBars(QPainter &p, const PoolShape &shape)
{
    p.drawRect(QRectF(shape.centre.x() - 6, 0, 12, 100));
    p.drawRect(QRectF(0, shape.centre.y() - 6, 100, 12));
}

void drawMotif(QPainter &p, int motif, const PoolShape &shape)
{
    using Draw = void (*)(QPainter &, const PoolShape &);
    static const std::array<Draw, kMotifCount> motifs {
        nullptr,
        drawDot,
        drawStripes,
        drawPolka,
        drawChecker,
        drawHalf,
        drawContour,
        drawBars,
    };
    if (const Draw draw = motifs.at(std::size_t(motif)))
        draw(p, shape);
}

} // namespace

QImage poolPicture(int number, int size)
{
    const int index = number - 1;
    const int shapeIndex = index % kPoolShapeCount;
    const int round = index / kPoolShapeCount;
    // Successive numbers change motif and colour as well as silhouette, and
    // the pictures of one silhouette all differ in colour.
    const int motif = (round + shapeIndex) % kMotifCount;
    const Tones &tones = palette().at(std::size_t((7 * shapeIndex + 3 * round) % 10));
    const PoolShape shape = poolShape(shapeIndex);

    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double unitsPerPixel = 100.0 / size;
    p.scale(1 / unitsPerPixel, 1 / unitsPerPixel);

    p.fillPath(shape.outline, tones.fill);
    p.save();
    p.setClipPath(shape.outline);
    p.setPen(Qt::NoPen);
    p.setBrush(tones.motif);
    drawMotif(p, motif, shape);
    p.restore();
    const double outlineWidth = std::max(1.5, size * 0.04) * unitsPerPixel;
    p.strokePath(
        shape.outline, QPen(kOutline, outlineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}
