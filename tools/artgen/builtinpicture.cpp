// SPDX-License-Identifier: MIT
#include "builtinpicture.h"

#include "builtinglyphs.h"
#include "glyphcanvas.h"

#include <array>
#include <QPainter>

static_assert(kBuiltinGlyphCount == kBuiltinPictureCount);

namespace
{

const std::array<QColor, 8> &accents()
{
    static const std::array<QColor, 8> colors {
        QColor(0xe4, 0x57, 0x2e),
        QColor(0x3e, 0x7c, 0xb1),
        QColor(0xf3, 0xa7, 0x12),
        QColor(0x2a, 0x9d, 0x8f),
        QColor(0x9c, 0x5f, 0xb5),
        QColor(0x7d, 0xb3, 0x43),
        QColor(0xe5, 0x63, 0x99),
        QColor(0x8d, 0x6a, 0x4f),
    };
    return colors;
}

QColor mix(const QColor &a, const QColor &b, double share)
{
    return QColor::fromRgbF(float(a.redF() * (1 - share) + b.redF() * share),
        float(a.greenF() * (1 - share) + b.greenF() * share),
        float(a.blueF() * (1 - share) + b.blueF() * share));
}

void drawCard(QPainter &p, const QColor &accent)
{
    QPainterPath card;
    card.addRoundedRect(4, 4, 92, 92, 16, 16);
    p.fillPath(card, mix(Qt::white, accent, 0.16));
    p.strokePath(card, QPen(accent.darker(140), 4));
}

} // namespace

QImage builtinPicture(int number, int size)
{
    const int index = number - 1;
    const QColor accent = accents().at(std::size_t(index) % accents().size());

    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 100.0, size / 100.0);
    drawCard(p, accent);
    GlyphCanvas canvas(p, accent);
    drawBuiltinGlyph(canvas, index);
    p.end();
    QImage picture = image.convertToFormat(QImage::Format_ARGB32);
    picture.setText(QStringLiteral("Title"), QString::fromLatin1(builtinGlyphName(index)));
    return picture;
}
