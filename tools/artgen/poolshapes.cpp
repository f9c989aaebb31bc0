// SPDX-License-Identifier: MIT
#include "poolshapes.h"

#include <array>
#include <cmath>
#include <numbers>
#include <QPolygonF>
#include <QTransform>
#include <vector>

namespace
{

QPointF polar(QPointF centre, double radius, double degrees)
{
    const double a = degrees * std::numbers::pi / 180.0;
    return { centre.x() + radius * std::cos(a), centre.y() + radius * std::sin(a) };
}

QPainterPath polygon(std::initializer_list<QPointF> points)
{
    QPainterPath path;
    path.addPolygon(QPolygonF(points));
    path.closeSubpath();
    return path;
}

// Alternating radii around a centre, starting straight up.
QPainterPath radial(QPointF centre, const std::vector<double> &radii, double turn = 0)
{
    QPolygonF points;
    const double step = 360.0 / double(radii.size());
    for (std::size_t i = 0; i < radii.size(); ++i)
        points << polar(centre, radii[i], -90.0 + turn + step * double(i));
    QPainterPath path;
    path.addPolygon(points);
    path.closeSubpath();
    return path;
}

QPainterPath disc(QPointF centre, double radius)
{
    QPainterPath path;
    path.addEllipse(centre, radius, radius);
    return path;
}

QPainterPath circle()
{
    return disc({ 50, 50 }, 45);
}

QPainterPath square()
{
    QPainterPath path;
    path.addRoundedRect(8, 8, 84, 84, 10, 10);
    return path;
}

QPainterPath triangle()
{
    return polygon({ { 50, 5 }, { 96, 88 }, { 4, 88 } });
}

QPainterPath diamond()
{
    return polygon({ { 50, 3 }, { 95, 50 }, { 50, 97 }, { 5, 50 } });
}

QPainterPath star()
{
    return radial({ 50, 54 }, { 48, 22, 48, 22, 48, 22, 48, 22, 48, 22 });
}

QPainterPath hexagon()
{
    return radial({ 50, 50 }, { 46, 46, 46, 46, 46, 46 }, 30);
}

QPainterPath heart()
{
    QPainterPath path;
    path.moveTo(50, 94);
    path.cubicTo(20, 72, 4, 54, 4, 32);
    path.cubicTo(4, 14, 18, 6, 30, 6);
    path.cubicTo(40, 6, 47, 12, 50, 20);
    path.cubicTo(53, 12, 60, 6, 70, 6);
    path.cubicTo(82, 6, 96, 14, 96, 32);
    path.cubicTo(96, 54, 80, 72, 50, 94);
    path.closeSubpath();
    return path;
}

QPainterPath plus()
{
    QPainterPath vertical;
    vertical.addRect(32, 5, 36, 90);
    QPainterPath horizontal;
    horizontal.addRect(5, 32, 90, 36);
    return vertical.united(horizontal).simplified();
}

QPainterPath saltire()
{
    QPainterPath bar;
    bar.addRect(-16, -61, 32, 122);
    QTransform one;
    one.translate(50, 50);
    one.rotate(45);
    QTransform other;
    other.translate(50, 50);
    other.rotate(-45);
    return one.map(bar).united(other.map(bar)).simplified();
}

QPainterPath crescent()
{
    return disc({ 50, 50 }, 45).subtracted(disc({ 76, 38 }, 34));
}

QPainterPath arrow()
{
    return polygon(
        { { 50, 4 }, { 95, 50 }, { 69, 50 }, { 69, 95 }, { 31, 95 }, { 31, 50 }, { 5, 50 } });
}

QPainterPath drop()
{
    QPainterPath path;
    path.moveTo(50, 3);
    path.cubicTo(60, 25, 86, 42, 86, 64);
    path.cubicTo(86, 84, 70, 97, 50, 97);
    path.cubicTo(30, 97, 14, 84, 14, 64);
    path.cubicTo(14, 42, 40, 25, 50, 3);
    path.closeSubpath();
    return path;
}

QPainterPath shield()
{
    QPainterPath path;
    path.moveTo(8, 12);
    path.quadTo(30, 14, 50, 4);
    path.quadTo(70, 14, 92, 12);
    path.cubicTo(94, 56, 78, 82, 50, 97);
    path.cubicTo(22, 82, 6, 56, 8, 12);
    path.closeSubpath();
    return path;
}

QPainterPath club()
{
    QPainterPath stem = polygon({ { 50, 56 }, { 64, 96 }, { 36, 96 } });
    return disc({ 50, 27 }, 23)
        .united(disc({ 27, 59 }, 23))
        .united(disc({ 73, 59 }, 23))
        .united(disc({ 50, 52 }, 14))
        .united(stem)
        .simplified();
}

QPainterPath flower()
{
    QPainterPath path = disc({ 50, 50 }, 26);
    for (int i = 0; i < 6; ++i)
        path = path.united(disc(polar({ 50, 50 }, 29, -90.0 + 60.0 * i), 18));
    return path.simplified();
}

QPainterPath sparkle()
{
    return radial({ 50, 50 }, { 48, 23, 48, 23, 48, 23, 48, 23 });
}

QPainterPath house()
{
    return polygon(
        { { 50, 4 }, { 96, 46 }, { 84, 46 }, { 84, 95 }, { 16, 95 }, { 16, 46 }, { 4, 46 } });
}

QPainterPath bolt()
{
    return polygon(
        { { 48, 3 }, { 12, 60 }, { 40, 60 }, { 28, 97 }, { 90, 36 }, { 62, 36 }, { 82, 3 } });
}

QPainterPath leaf()
{
    QPainterPath path;
    path.moveTo(6, 94);
    path.cubicTo(4, 44, 34, 6, 94, 6);
    path.cubicTo(96, 56, 66, 94, 6, 94);
    path.closeSubpath();
    return path;
}

QPainterPath dome()
{
    QPainterPath path;
    path.moveTo(4, 86);
    path.cubicTo(4, 30, 24, 10, 50, 10);
    path.cubicTo(76, 10, 96, 30, 96, 86);
    path.closeSubpath();
    return path;
}

QPainterPath bowtie()
{
    return polygon({ { 4, 8 }, { 50, 32 }, { 96, 8 }, { 96, 92 }, { 50, 68 }, { 4, 92 } });
}

QPainterPath cloud()
{
    QPainterPath base;
    base.addRoundedRect(6, 52, 88, 32, 16, 16);
    return base.united(disc({ 32, 52 }, 22)).united(disc({ 60, 42 }, 28)).simplified();
}

QPainterPath gear()
{
    std::vector<double> radii;
    for (int i = 0; i < 8; ++i)
        radii.insert(radii.end(), { 47, 47, 35, 35 });
    return radial({ 50, 50 }, radii, -360.0 / 64.0);
}

QPainterPath pill()
{
    QPainterPath path;
    path.addRoundedRect(3, 22, 94, 56, 28, 28);
    return path;
}

QPainterPath pacman()
{
    QPainterPath path;
    path.moveTo(50, 50);
    path.arcTo(5, 5, 90, 90, 35, 290);
    path.closeSubpath();
    return path;
}

struct Entry {
    QPainterPath (*make)();
    QPointF centre;
};

const std::array<Entry, kPoolShapeCount> &entries()
{
    static const std::array<Entry, kPoolShapeCount> table { {
        { circle, { 50, 50 } },
        { square, { 50, 50 } },
        { triangle, { 50, 60 } },
        { diamond, { 50, 50 } },
        { star, { 50, 55 } },
        { hexagon, { 50, 50 } },
        { heart, { 50, 42 } },
        { plus, { 50, 50 } },
        { saltire, { 50, 50 } },
        { crescent, { 34, 60 } },
        { arrow, { 50, 52 } },
        { drop, { 50, 64 } },
        { shield, { 50, 42 } },
        { club, { 50, 50 } },
        { flower, { 50, 50 } },
        { sparkle, { 50, 50 } },
        { house, { 50, 62 } },
        { bolt, { 50, 48 } },
        { leaf, { 42, 58 } },
        { dome, { 50, 56 } },
        { bowtie, { 50, 50 } },
        { cloud, { 50, 62 } },
        { gear, { 50, 50 } },
        { pill, { 50, 50 } },
        { pacman, { 38, 50 } },
    } };
    return table;
}

} // namespace

PoolShape poolShape(int index)
{
    const Entry &entry = entries().at(std::size_t(index));
    return { entry.make(), entry.centre };
}
