// SPDX-License-Identifier: MIT
#include "gameicon.h"

#include "builtinart.h"

#include <QPixmap>
#include <QResource>

QIcon gameIcon()
{
    // Every start shows all eight sizes: read as they are shown, since
    // decoding them from PNG took a tenth of the start-up.
    QIcon icon;
    for (int side : BuiltinArt::kWindowIconSides) {
        const QByteArray pixels
            = QResource(BuiltinArt::windowIconPixelsPath(side)).uncompressedData();
        if (pixels.size() != qsizetype(side) * side * 4)
            continue;
        icon.addPixmap(
            QPixmap::fromImage(QImage(reinterpret_cast<const uchar *>(pixels.constData()), side,
                side, side * 4, QImage::Format_ARGB32_Premultiplied)));
    }
    return icon;
}
