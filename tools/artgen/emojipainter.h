// SPDX-License-Identifier: MIT
#pragma once

#include <QFont>
#include <QImage>
#include <QString>

// Draws pool pictures from a colour emoji font. The font's bitmaps are drawn
// at their own size, cut to what they paint and then only ever reduced, so
// that every size stays sharp.
class EmojiPainter
{
public:
    // Share of the side left clear on every edge, so that no picture runs
    // into the tile's border.
    static constexpr double kMargin = 0.08;

    bool load(const QString &fontPath);
    QString error() const { return m_error; }

    // The sequence as the font draws it, cut to its painted pixels; a null
    // image when the font has no picture for it.
    QImage draw(const QString &text) const;
    static constexpr int kLargestSide = 128;

    // `drawn` centred on a transparent square of kLargestSide, its margin
    // kept. Smaller sizes are reductions of the whole square, so that every
    // size shows the picture in the same place.
    static QImage fitted(const QImage &drawn);

private:
    QFont m_font;
    QString m_error;
};
