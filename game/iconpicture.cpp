// SPDX-License-Identifier: MIT
#include "iconpicture.h"

#include <QFile>
#include <QImageReader>

namespace
{

// Far above any tile face (256 x 256 x 4 bytes is a quarter of it).
constexpr int kAllocationLimitMiB = 4;

} // namespace

QImage loadIconPicture(const QString &path, int pixelSize)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QImageReader reader(&file, QByteArrayLiteral("ico"));
    reader.setAutoDetectImageFormat(false);
    reader.setAllocationLimit(kAllocationLimitMiB);
    const int count = reader.imageCount();
    if (count <= 0)
        return {};
    int best = -1;
    int bestSide = 0;
    for (int i = 0; i < count && reader.jumpToImage(i); ++i) {
        const int side = qMax(reader.size().width(), reader.size().height());
        const bool covers = side >= pixelSize;
        const bool bestCovers = bestSide >= pixelSize;
        if (best < 0 || (covers && (!bestCovers || side < bestSide))
            || (!covers && !bestCovers && side > bestSide)) {
            best = i;
            bestSide = side;
        }
    }
    if (best < 0 || !reader.jumpToImage(best))
        return {};
    return reader.read();
}
