// SPDX-License-Identifier: MIT
#include "builtinglyphs.h"

#include "glyphcanvas.h"

#include <array>
#include <cmath>
#include <numbers>
#include <QTransform>

namespace
{

using Tone = GlyphCanvas::Tone;
constexpr Tone kInk = Tone::Ink;
constexpr Tone kAccent = Tone::Accent;
constexpr Tone kWhite = Tone::White;

QPointF polar(QPointF centre, double radius, double degrees)
{
    const double a = degrees * std::numbers::pi / 180.0;
    return { centre.x() + radius * std::cos(a), centre.y() + radius * std::sin(a) };
}

QPainterPath discPath(QPointF centre, double radius)
{
    QPainterPath path;
    path.addEllipse(centre, radius, radius);
    return path;
}

QPolygonF starPoints(QPointF centre, double outer, double inner, int points)
{
    QPolygonF star;
    for (int i = 0; i < 2 * points; ++i)
        star << polar(centre, i % 2 == 0 ? outer : inner, -90.0 + 180.0 * i / points);
    return star;
}

QPainterPath wave(QPointF from, double length, double height, int bumps)
{
    QPainterPath path(from);
    const double step = length / bumps;
    for (int i = 0; i < bumps; ++i) {
        const double x = from.x() + step * i;
        const double bend = (i % 2 == 0) ? -height : height;
        path.quadTo(x + step / 2, from.y() + bend, x + step, from.y());
    }
    return path;
}

void sun(GlyphCanvas &c)
{
    for (int i = 0; i < 8; ++i)
        c.line(polar({ 50, 50 }, 29, 45.0 * i), polar({ 50, 50 }, 38, 45.0 * i), 5, kInk);
    c.disc({ 50, 50 }, 21, kAccent);
}

void moon(GlyphCanvas &c)
{
    c.fill(discPath({ 46, 52 }, 30).subtracted(discPath({ 62, 42 }, 25)), kAccent);
    c.polygon(starPoints({ 70, 70 }, 11, 5, 5), kAccent);
}

void rainCloud(GlyphCanvas &c)
{
    for (int x : { 34, 50, 66 })
        c.line({ double(x), 64 }, { double(x) - 5, 80 }, 5, kInk);
    QPainterPath base;
    base.addRoundedRect(18, 40, 64, 20, 10, 10);
    c.fill(base.united(discPath({ 38, 40 }, 14)).united(discPath({ 58, 36 }, 17)).simplified(),
        kAccent);
}

void snowflake(GlyphCanvas &c)
{
    for (int i = 0; i < 3; ++i)
        c.line(
            polar({ 50, 50 }, 34, 30 + 60.0 * i), polar({ 50, 50 }, 34, 210 + 60.0 * i), 5, kInk);
    for (int i = 0; i < 6; ++i)
        c.disc(polar({ 50, 50 }, 34, 30 + 60.0 * i), 6, kAccent);
    c.disc({ 50, 50 }, 9, kAccent);
}

void lightning(GlyphCanvas &c)
{
    c.polygon(
        { { 58, 14 }, { 26, 54 }, { 46, 54 }, { 38, 86 }, { 74, 42 }, { 54, 42 }, { 66, 14 } },
        kAccent);
}

void fir(GlyphCanvas &c)
{
    c.box({ 44, 68, 12, 16 }, kInk);
    c.polygon({ { 50, 34 }, { 78, 72 }, { 22, 72 } }, kAccent);
    c.polygon({ { 50, 14 }, { 72, 48 }, { 28, 48 } }, kAccent);
}

void flower(GlyphCanvas &c)
{
    c.line({ 50, 50 }, { 50, 86 }, 5, kInk);
    QPainterPath leaf({ 50, 76 });
    leaf.quadTo(62, 60, 74, 64);
    leaf.quadTo(64, 78, 50, 76);
    c.fill(leaf, kAccent);
    for (int i = 0; i < 5; ++i)
        c.disc(polar({ 50, 38 }, 15, -90 + 72.0 * i), 10, kAccent);
    c.disc({ 50, 38 }, 8, kWhite);
}

void leaf(GlyphCanvas &c)
{
    QPainterPath path({ 20, 80 });
    path.cubicTo(18, 40, 44, 18, 82, 18);
    path.cubicTo(84, 58, 58, 82, 20, 80);
    path.closeSubpath();
    c.fill(path, kAccent);
    c.line({ 14, 86 }, { 64, 36 }, 4, kInk);
}

void mushroom(GlyphCanvas &c)
{
    c.box({ 40, 52, 20, 32 }, kWhite, 6);
    QPainterPath cap({ 16, 56 });
    cap.cubicTo(16, 30, 32, 18, 50, 18);
    cap.cubicTo(68, 18, 84, 30, 84, 56);
    cap.closeSubpath();
    c.fill(cap, kAccent);
    c.disc({ 36, 38 }, 5, kWhite);
    c.disc({ 58, 30 }, 6, kWhite);
    c.disc({ 66, 46 }, 4, kWhite);
}

void apple(GlyphCanvas &c)
{
    c.line({ 50, 36 }, { 54, 18 }, 4, kInk);
    QPainterPath leaf({ 54, 26 });
    leaf.quadTo(64, 12, 76, 18);
    leaf.quadTo(68, 30, 54, 26);
    c.fill(leaf, kAccent);
    c.fill(discPath({ 40, 58 }, 23).united(discPath({ 60, 58 }, 23)).simplified(), kAccent);
    c.ellipse({ 36, 52 }, 4, 7, kWhite);
}

void cherries(GlyphCanvas &c)
{
    QPainterPath stems({ 34, 66 });
    stems.quadTo(40, 36, 58, 18);
    stems.moveTo(66, 62);
    stems.quadTo(64, 36, 58, 18);
    c.stroke(stems, 4, kInk);
    c.disc({ 34, 68 }, 13, kAccent);
    c.disc({ 66, 64 }, 13, kAccent);
}

void fish(GlyphCanvas &c)
{
    c.polygon({ { 62, 50 }, { 86, 32 }, { 86, 68 } }, kAccent);
    QPainterPath body({ 14, 50 });
    body.quadTo(38, 22, 70, 50);
    body.quadTo(38, 78, 14, 50);
    c.fill(body, kAccent);
    c.disc({ 30, 46 }, 4, kInk);
}

void cat(GlyphCanvas &c)
{
    c.polygon({ { 22, 50 }, { 24, 16 }, { 46, 34 } }, kAccent);
    c.polygon({ { 78, 50 }, { 76, 16 }, { 54, 34 } }, kAccent);
    c.disc({ 50, 56 }, 29, kAccent);
    c.ellipse({ 39, 52 }, 4, 6, kInk);
    c.ellipse({ 61, 52 }, 4, 6, kInk);
    c.polygon({ { 45, 64 }, { 55, 64 }, { 50, 70 } }, kInk);
    for (int side : { -1, 1 }) {
        c.line({ 50 + side * 10.0, 70 }, { 50 + side * 28.0, 66 }, 2.5, kInk);
        c.line({ 50 + side * 10.0, 74 }, { 50 + side * 28.0, 76 }, 2.5, kInk);
    }
}

void house(GlyphCanvas &c)
{
    c.box({ 26, 46, 48, 38 }, kWhite);
    c.box({ 44, 62, 12, 22 }, kAccent);
    c.polygon({ { 16, 50 }, { 50, 18 }, { 84, 50 } }, kAccent);
}

void key(GlyphCanvas &c)
{
    c.box({ 44, 45, 42, 10 }, kAccent);
    c.box({ 70, 55, 7, 12 }, kAccent);
    c.box({ 80, 55, 6, 9 }, kAccent);
    c.fill(discPath({ 30, 50 }, 17).subtracted(discPath({ 26, 50 }, 6)), kAccent);
}

void padlock(GlyphCanvas &c)
{
    QPainterPath shackle({ 34, 48 });
    shackle.lineTo(34, 34);
    shackle.cubicTo(34, 14, 66, 14, 66, 34);
    shackle.lineTo(66, 48);
    c.stroke(shackle, 6, kWhite);
    c.box({ 22, 44, 56, 40 }, kAccent, 6);
    c.disc({ 50, 58 }, 6, kInk);
    c.polygon({ { 47, 60 }, { 53, 60 }, { 55, 74 }, { 45, 74 } }, kInk);
}

void bell(GlyphCanvas &c)
{
    c.disc({ 50, 76 }, 7, kInk);
    QPainterPath body({ 16, 72 });
    body.quadTo(26, 66, 28, 48);
    body.cubicTo(28, 18, 72, 18, 72, 48);
    body.quadTo(74, 66, 84, 72);
    body.closeSubpath();
    c.fill(body, kAccent);
    c.disc({ 50, 18 }, 5, kAccent);
}

void anchor(GlyphCanvas &c)
{
    QPainterPath path({ 50, 28 });
    path.lineTo(50, 84);
    path.moveTo(34, 38);
    path.lineTo(66, 38);
    path.moveTo(20, 60);
    path.quadTo(24, 84, 50, 84);
    path.quadTo(76, 84, 80, 60);
    c.stroke(path, 6, kAccent);
    c.fill(discPath({ 50, 22 }, 8).subtracted(discPath({ 50, 22 }, 3.5)), kAccent);
}

void umbrella(GlyphCanvas &c)
{
    QPainterPath handle({ 50, 48 });
    handle.lineTo(50, 78);
    handle.quadTo(50, 86, 42, 86);
    handle.quadTo(36, 86, 36, 80);
    c.stroke(handle, 5, kInk);
    QPainterPath canopy({ 14, 52 });
    canopy.cubicTo(14, 12, 86, 12, 86, 52);
    for (int i = 0; i < 4; ++i) {
        const double x = 86 - 18.0 * i;
        canopy.quadTo(x - 9, 44, x - 18, 52);
    }
    canopy.closeSubpath();
    c.fill(canopy, kAccent);
}

void mug(GlyphCanvas &c)
{
    QPainterPath handle;
    handle.addEllipse(QPointF(70, 58), 11, 12);
    c.stroke(handle, 5, kAccent);
    c.box({ 24, 38, 44, 46 }, kAccent, 6);
    c.stroke(wave({ 32, 28 }, 12, 4, 2), 3.5, kInk);
    c.stroke(wave({ 48, 28 }, 12, 4, 2), 3.5, kInk);
}

void hourglass(GlyphCanvas &c)
{
    c.polygon({ { 30, 22 }, { 70, 22 }, { 54, 50 }, { 70, 78 }, { 30, 78 }, { 46, 50 } }, kWhite);
    c.polygon({ { 38, 76 }, { 62, 76 }, { 50, 60 } }, kAccent);
    c.polygon({ { 36, 26 }, { 64, 26 }, { 50, 44 } }, kAccent);
    c.box({ 24, 14, 52, 8 }, kInk, 2);
    c.box({ 24, 78, 52, 8 }, kInk, 2);
}

void clock(GlyphCanvas &c)
{
    c.disc({ 50, 50 }, 34, kAccent);
    c.disc({ 50, 50 }, 25, kWhite);
    c.line({ 50, 50 }, { 50, 32 }, 5, kInk);
    c.line({ 50, 50 }, { 63, 56 }, 5, kInk);
}

void bulb(GlyphCanvas &c)
{
    c.box({ 40, 64, 20, 18 }, kInk, 3);
    QPainterPath glass({ 40, 66 });
    glass.cubicTo(40, 56, 26, 52, 26, 38);
    glass.cubicTo(26, 24, 38, 14, 50, 14);
    glass.cubicTo(62, 14, 74, 24, 74, 38);
    glass.cubicTo(74, 52, 60, 56, 60, 66);
    glass.closeSubpath();
    c.fill(glass, kAccent);
    QPainterPath shine({ 36, 40 });
    shine.quadTo(36, 28, 46, 24);
    c.stroke(shine, 4, kWhite);
}

void envelope(GlyphCanvas &c)
{
    c.box({ 16, 28, 68, 46 }, kWhite, 3);
    c.polygon({ { 16, 28 }, { 84, 28 }, { 50, 56 } }, kAccent);
}

void flag(GlyphCanvas &c)
{
    c.line({ 28, 14 }, { 28, 88 }, 5, kInk);
    c.polygon({ { 30, 18 }, { 80, 18 }, { 66, 34 }, { 80, 50 }, { 30, 50 } }, kAccent);
}

void sailboat(GlyphCanvas &c)
{
    c.line({ 50, 14 }, { 50, 66 }, 4, kInk);
    c.polygon({ { 46, 20 }, { 46, 60 }, { 20, 60 } }, kWhite);
    c.polygon({ { 54, 16 }, { 80, 60 }, { 54, 60 } }, kAccent);
    c.polygon({ { 14, 66 }, { 86, 66 }, { 72, 84 }, { 28, 84 } }, kAccent);
}

void rocket(GlyphCanvas &c)
{
    c.polygon({ { 44, 76 }, { 56, 76 }, { 50, 90 } }, kInk);
    c.polygon({ { 38, 54 }, { 24, 76 }, { 40, 72 } }, kAccent);
    c.polygon({ { 62, 54 }, { 76, 76 }, { 60, 72 } }, kAccent);
    QPainterPath body({ 50, 10 });
    body.cubicTo(66, 24, 64, 52, 60, 76);
    body.lineTo(40, 76);
    body.cubicTo(36, 52, 34, 24, 50, 10);
    c.fill(body, kWhite);
    c.disc({ 50, 42 }, 7, kAccent);
}

void planet(GlyphCanvas &c)
{
    QTransform tilt;
    tilt.translate(50, 50);
    tilt.rotate(-20);
    QPainterPath ring;
    ring.addEllipse(QPointF(0, 0), 38, 11);
    ring = tilt.map(ring);
    c.stroke(ring, 4, kAccent);
    c.disc({ 50, 50 }, 21, kAccent);
    QPainterPath front;
    front.arcMoveTo(-38, -11, 76, 22, 0);
    front.arcTo(-38, -11, 76, 22, 0, -180);
    c.stroke(tilt.map(front), 4, kAccent);
}

void balloon(GlyphCanvas &c)
{
    QPainterPath string({ 50, 70 });
    string.quadTo(40, 78, 50, 82);
    string.quadTo(60, 86, 50, 90);
    c.stroke(string, 3, kInk);
    c.polygon({ { 46, 72 }, { 54, 72 }, { 50, 64 } }, kAccent);
    c.ellipse({ 50, 40 }, 22, 26, kAccent);
    c.ellipse({ 42, 30 }, 4, 7, kWhite);
}

void kite(GlyphCanvas &c)
{
    c.stroke(wave({ 50, 66 }, 30, 5, 3), 3, kInk);
    c.polygon({ { 40, 10 }, { 64, 32 }, { 46, 66 }, { 20, 38 } }, kAccent);
    c.line({ 40, 10 }, { 46, 66 }, 3, kInk);
    c.line({ 64, 32 }, { 20, 38 }, 3, kInk);
}

void crown(GlyphCanvas &c)
{
    c.polygon(
        { { 18, 74 }, { 18, 32 }, { 34, 50 }, { 50, 24 }, { 66, 50 }, { 82, 32 }, { 82, 74 } },
        kAccent);
    c.box({ 18, 66, 64, 12 }, kAccent);
    for (QPointF tip : { QPointF(18, 28), QPointF(50, 20), QPointF(82, 28) })
        c.disc(tip, 5, kWhite);
}

void gem(GlyphCanvas &c)
{
    c.polygon({ { 30, 24 }, { 70, 24 }, { 86, 42 }, { 50, 84 }, { 14, 42 } }, kAccent);
    QPainterPath facets({ 14, 42 });
    facets.lineTo(86, 42);
    facets.moveTo(36, 42);
    facets.lineTo(50, 84);
    facets.lineTo(64, 42);
    facets.moveTo(30, 24);
    facets.lineTo(36, 42);
    facets.lineTo(50, 24);
    facets.lineTo(64, 42);
    facets.lineTo(70, 24);
    c.stroke(facets, 3, kInk);
}

void notes(GlyphCanvas &c)
{
    c.polygon({ { 38, 26 }, { 78, 16 }, { 78, 28 }, { 38, 38 } }, kAccent);
    c.line({ 40, 30 }, { 40, 72 }, 5, kInk);
    c.line({ 76, 22 }, { 76, 62 }, 5, kInk);
    QTransform tilt;
    tilt.rotate(-20);
    for (QPointF head : { QPointF(32, 72), QPointF(68, 62) }) {
        QPainterPath oval;
        oval.addEllipse(QPointF(0, 0), 10, 7);
        c.fill(QTransform::fromTranslate(head.x(), head.y()).map(tilt.map(oval)), kInk);
    }
}

void eye(GlyphCanvas &c)
{
    QPainterPath almond({ 12, 50 });
    almond.quadTo(50, 12, 88, 50);
    almond.quadTo(50, 88, 12, 50);
    c.fill(almond, kWhite);
    c.disc({ 50, 50 }, 15, kAccent);
    c.disc({ 50, 50 }, 6, kInk);
}

void glasses(GlyphCanvas &c)
{
    QPainterPath frame({ 42, 50 });
    frame.quadTo(50, 42, 58, 50);
    frame.moveTo(18, 48);
    frame.lineTo(10, 36);
    frame.moveTo(82, 48);
    frame.lineTo(90, 36);
    c.stroke(frame, 4, kInk);
    for (double x : { 30.0, 70.0 }) {
        QPainterPath lens;
        lens.addEllipse(QPointF(x, 54), 13, 12);
        c.stroke(lens, 5, kAccent);
    }
}

void topHat(GlyphCanvas &c)
{
    c.box({ 32, 20, 36, 50 }, kInk, 3);
    c.box({ 32, 52, 36, 10 }, kAccent);
    c.ellipse({ 50, 72 }, 34, 7, kInk);
}

void iceCream(GlyphCanvas &c)
{
    c.polygon({ { 32, 46 }, { 68, 46 }, { 50, 88 } }, kAccent);
    QPainterPath grid({ 40, 56 });
    grid.lineTo(56, 72);
    grid.moveTo(60, 56);
    grid.lineTo(44, 72);
    c.stroke(grid, 2.5, kInk);
    c.disc({ 50, 34 }, 19, kWhite);
    c.disc({ 50, 14 }, 6, kAccent);
}

void candle(GlyphCanvas &c)
{
    c.box({ 36, 42, 28, 42 }, kWhite, 3);
    c.line({ 50, 42 }, { 50, 34 }, 3, kInk);
    QPainterPath flame({ 50, 10 });
    flame.quadTo(62, 24, 50, 32);
    flame.quadTo(38, 24, 50, 10);
    c.fill(flame, kAccent);
    c.box({ 24, 82, 52, 6 }, kAccent, 3);
}

void mountain(GlyphCanvas &c)
{
    c.polygon({ { 8, 82 }, { 40, 24 }, { 60, 58 }, { 70, 44 }, { 92, 82 } }, kAccent);
    c.polygon({ { 40, 24 }, { 50, 42 }, { 44, 38 }, { 38, 44 }, { 31, 40 } }, kWhite);
}

void tent(GlyphCanvas &c)
{
    c.line({ 10, 82 }, { 90, 82 }, 4, kInk);
    c.polygon({ { 14, 82 }, { 50, 18 }, { 86, 82 } }, kAccent);
    c.polygon({ { 50, 44 }, { 62, 82 }, { 38, 82 } }, kInk);
}

void tower(GlyphCanvas &c)
{
    QPolygonF outline { { 28, 84 }, { 28, 20 } };
    for (int i = 0; i < 3; ++i) {
        const double x = 28 + 16.0 * i;
        outline << QPointF(x + 8, 20) << QPointF(x + 8, 28) << QPointF(x + 12, 28)
                << QPointF(x + 12, 20) << QPointF(x + 16, 20);
    }
    outline << QPointF(72, 20) << QPointF(72, 84);
    c.polygon(outline, kAccent);
    QPainterPath door({ 42, 84 });
    door.lineTo(42, 68);
    door.quadTo(50, 56, 58, 68);
    door.lineTo(58, 84);
    c.fill(door, kInk);
    c.box({ 46, 38, 8, 12 }, kInk, 2);
}

void die(GlyphCanvas &c)
{
    c.box({ 20, 20, 60, 60 }, kAccent, 10);
    for (QPointF pip :
        { QPointF(35, 35), QPointF(65, 35), QPointF(50, 50), QPointF(35, 65), QPointF(65, 65) })
        c.disc(pip, 6, kWhite);
}

void target(GlyphCanvas &c)
{
    c.disc({ 50, 50 }, 34, kAccent);
    c.disc({ 50, 50 }, 24, kWhite);
    c.disc({ 50, 50 }, 14, kAccent);
    c.disc({ 50, 50 }, 5, kInk);
}

void magnifier(GlyphCanvas &c)
{
    c.line({ 60, 60 }, { 82, 82 }, 10, kInk);
    c.disc({ 42, 42 }, 26, kAccent);
    c.disc({ 42, 42 }, 17, kWhite);
}

void cactus(GlyphCanvas &c)
{
    QPainterPath arms({ 30, 36 });
    arms.lineTo(30, 52);
    arms.quadTo(30, 58, 44, 58);
    arms.moveTo(70, 28);
    arms.lineTo(70, 44);
    arms.quadTo(70, 50, 56, 50);
    c.stroke(arms, 8, kAccent);
    c.box({ 41, 16, 18, 60 }, kAccent, 9);
    c.polygon({ { 28, 72 }, { 72, 72 }, { 66, 88 }, { 34, 88 } }, kInk);
}

void gift(GlyphCanvas &c)
{
    for (int side : { -1, 1 }) {
        QPainterPath loop;
        loop.addEllipse(QPointF(50 + side * 10.0, 24), 10, 7);
        c.stroke(loop, 3, kInk);
    }
    c.box({ 22, 44, 56, 40 }, kAccent);
    c.box({ 18, 32, 64, 14 }, kAccent);
    c.box({ 45, 32, 10, 52 }, kWhite);
}

void paw(GlyphCanvas &c)
{
    QPainterPath pad({ 50, 50 });
    pad.cubicTo(66, 50, 76, 66, 70, 76);
    pad.cubicTo(64, 84, 36, 84, 30, 76);
    pad.cubicTo(24, 66, 34, 50, 50, 50);
    c.fill(pad, kAccent);
    c.ellipse({ 24, 46 }, 7, 9, kAccent);
    c.ellipse({ 40, 30 }, 7, 9, kAccent);
    c.ellipse({ 60, 30 }, 7, 9, kAccent);
    c.ellipse({ 76, 46 }, 7, 9, kAccent);
}

void book(GlyphCanvas &c)
{
    QPainterPath left({ 50, 30 });
    left.quadTo(34, 20, 14, 26);
    left.lineTo(14, 76);
    left.quadTo(34, 70, 50, 80);
    left.closeSubpath();
    c.fill(left, kWhite);
    c.fill(QTransform(-1, 0, 0, 1, 100, 0).map(left), kAccent);
    for (int i = 0; i < 3; ++i)
        c.line({ 22, 40 + 10.0 * i }, { 42, 44 + 10.0 * i }, 3, kInk);
}

struct Glyph {
    const char *name;
    void (*draw)(GlyphCanvas &);
};

const std::array<Glyph, kBuiltinGlyphCount> &glyphs()
{
    static const std::array<Glyph, kBuiltinGlyphCount> table { {
        { "sun", sun },
        { "moon", moon },
        { "rain cloud", rainCloud },
        { "snowflake", snowflake },
        { "lightning", lightning },
        { "fir tree", fir },
        { "flower", flower },
        { "leaf", leaf },
        { "mushroom", mushroom },
        { "apple", apple },
        { "cherries", cherries },
        { "fish", fish },
        { "cat", cat },
        { "house", house },
        { "key", key },
        { "padlock", padlock },
        { "bell", bell },
        { "anchor", anchor },
        { "umbrella", umbrella },
        { "mug", mug },
        { "hourglass", hourglass },
        { "clock", clock },
        { "light bulb", bulb },
        { "envelope", envelope },
        { "flag", flag },
        { "sailboat", sailboat },
        { "rocket", rocket },
        { "planet", planet },
        { "balloon", balloon },
        { "kite", kite },
        { "crown", crown },
        { "gem", gem },
        { "musical notes", notes },
        { "eye", eye },
        { "glasses", glasses },
        { "top hat", topHat },
        { "ice cream", iceCream },
        { "candle", candle },
        { "mountain", mountain },
        { "tent", tent },
        { "tower", tower },
        { "die", die },
        { "target", target },
        { "magnifying glass", magnifier },
        { "cactus", cactus },
        { "gift", gift },
        { "paw", paw },
        { "book", book },
    } };
    return table;
}

} // namespace

void drawBuiltinGlyph(GlyphCanvas &canvas, int index)
{
    glyphs().at(std::size_t(index)).draw(canvas);
}

const char *builtinGlyphName(int index)
{
    return glyphs().at(std::size_t(index)).name;
}
