// SPDX-License-Identifier: MIT
#include "iconpicture.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QtEndian>

namespace
{

// Far above any tile face (256 x 256 x 4 bytes is a quarter of it).
constexpr int kAllocationLimitMiB = 4;
constexpr qint64 kHeaderBytes = 6;
constexpr qint64 kEntryBytes = 16;
// More sizes than any icon needs; a directory claiming more is not read whole.
constexpr int kMostEntries = 64;

// Chooses the entry from the icon's own directory, which is far cheaper than
// asking the reader for the size of each: the smallest side that covers
// `pixelSize`, else the largest. -1 when the file is no icon file.
int entryCovering(QFile &file, int pixelSize)
{
    const QByteArray header = file.peek(kHeaderBytes);
    if (header.size() < kHeaderBytes || qFromLittleEndian<quint16>(header.constData()) != 0
        || qFromLittleEndian<quint16>(header.constData() + 2) != 1) {
        return -1;
    }
    const int count
        = qMin<int>(qFromLittleEndian<quint16>(header.constData() + 4), kMostEntries);
    const QByteArray directory = file.peek(kHeaderBytes + count * kEntryBytes);
    int best = -1;
    int bestSide = 0;
    for (int i = 0; i < count && kHeaderBytes + (i + 1) * kEntryBytes <= directory.size(); ++i) {
        const int width = uchar(directory.at(kHeaderBytes + i * kEntryBytes));
        const int side = width == 0 ? 256 : width;
        const bool covers = side >= pixelSize;
        const bool bestCovers = bestSide >= pixelSize;
        if (best < 0 || (covers && (!bestCovers || side < bestSide))
            || (!covers && !bestCovers && side > bestSide)) {
            best = i;
            bestSide = side;
        }
    }
    return best;
}

} // namespace

QImage loadIconPicture(const QString &path, int pixelSize)
{
    // Opening a pipe waits for a writer that never comes; only a regular
    // file can hold a picture.
    if (!QFileInfo(path).isFile())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const int entry = entryCovering(file, pixelSize);
    if (entry < 0)
        return {};
    QImageReader reader(&file, QByteArrayLiteral("ico"));
    reader.setAutoDetectImageFormat(false);
    reader.setAllocationLimit(kAllocationLimitMiB);
    if (!reader.jumpToImage(entry))
        return {};
    return reader.read();
}
