// SPDX-License-Identifier: MIT
#include "emojipainter.h"

#include <algorithm>
#include <cmath>
#include <QFontDatabase>
#include <QPainter>
#include <QRawFont>

namespace
{

// Noto Color Emoji keeps one set of bitmaps, 136 x 128 pixels at this size:
// any other size would have Qt scale them before we do.
constexpr int kStrikePixelSize = 109;
constexpr int kCanvas = 2 * kStrikePixelSize;

QRect paintedRect(const QImage &image)
{
    QRect painted;
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(line[x]) != 0)
                painted |= QRect(x, y, 1, 1);
    }
    return painted;
}

} // namespace

bool EmojiPainter::load(const QString &fontPath)
{
    const int id = QFontDatabase::addApplicationFont(fontPath);
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    if (id < 0 || families.isEmpty()) {
        m_error = QStringLiteral("cannot load the font %1").arg(fontPath);
        return false;
    }
    m_font = QFont(families.first());
    m_font.setPixelSize(kStrikePixelSize);
    m_font.setStyleStrategy(QFont::NoFontMerging);
    return true;
}

QImage EmojiPainter::draw(const QString &text) const
{
    const QRawFont raw = QRawFont::fromFont(m_font);
    for (char32_t codePoint : text.toUcs4())
        if (codePoint != 0xfe0f && !raw.supportsCharacter(codePoint))
            return {};
    QImage canvas(kCanvas, kCanvas, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    {
        QPainter painter(&canvas);
        painter.setFont(m_font);
        painter.drawText(canvas.rect(), Qt::AlignCenter, text);
    }
    const QRect painted = paintedRect(canvas);
    return painted.isEmpty() ? QImage() : canvas.copy(painted);
}

QImage EmojiPainter::fitted(const QImage &drawn)
{
    const int margin = int(std::ceil(kLargestSide * kMargin));
    const int room = kLargestSide - 2 * margin;
    const double scale
        = std::min({ 1.0, double(room) / drawn.width(), double(room) / drawn.height() });
    const QSize scaledSize(
        qMax(1, qRound(drawn.width() * scale)), qMax(1, qRound(drawn.height() * scale)));
    QImage picture(kLargestSide, kLargestSide, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    {
        QPainter painter(&picture);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(QPoint((kLargestSide - scaledSize.width()) / 2,
                              (kLargestSide - scaledSize.height()) / 2),
            drawn.scaled(scaledSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }
    return picture;
}
