// SPDX-License-Identifier: MIT
#include "icofile.h"

#include "pngbytes.h"

#include <algorithm>
#include <numeric>
#include <QtEndian>

namespace
{

void append16(QByteArray &out, quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

void append32(QByteArray &out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

void appendBitmapHeader(QByteArray &out, int side)
{
    constexpr quint32 kHeaderSize = 40;
    append32(out, kHeaderSize);
    append32(out, quint32(side));
    append32(out, quint32(2 * side)); // colour rows, then as many mask rows
    append16(out, 1); // planes
    append16(out, 32); // bits per pixel
    for (int field = 0; field < 6; ++field) // no compression, sizes and palette unset
        append32(out, 0);
}

// Rows bottom-up: BGRA colours, then a 1-bit mask set where nothing is
// painted, each mask row padded to 4 bytes.
QByteArray bitmapBytes(const QImage &picture)
{
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    const int side = image.width();
    QByteArray out;
    appendBitmapHeader(out, side);
    for (int y = side - 1; y >= 0; --y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < side; ++x)
            append32(out, line[x]);
    }
    const int maskStride = (side + 31) / 32 * 4;
    for (int y = side - 1; y >= 0; --y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        QByteArray row(maskStride, '\0');
        for (int x = 0; x < side; ++x)
            if (qAlpha(line[x]) == 0)
                row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        out += row;
    }
    return out;
}

QByteArray entryBytes(const QImage &picture)
{
    return picture.width() <= kLargestBitmapEntry ? bitmapBytes(picture) : pngBytes(picture);
}

// The directory stores 256 as 0.
char sideByte(int side)
{
    return char(side >= 256 ? 0 : side);
}

} // namespace

QByteArray icoFile(const QList<QImage> &pictures)
{
    constexpr int kHeaderSize = 6;
    constexpr int kEntrySize = 16;
    QList<QByteArray> payloads;
    for (const QImage &picture : pictures)
        payloads << entryBytes(picture);

    QByteArray out;
    append16(out, 0);
    append16(out, 1); // icon, not cursor
    append16(out, quint16(pictures.size()));
    // The PNG entries, which hold the picture's name, lie right after the
    // bitmap a tile reads at 1x: the game reads picture and name within the
    // first 16 KiB of the file.
    const auto rank = [&pictures](qsizetype i) {
        const int side = pictures[i].width();
        return side <= kTileBitmapEntry ? 0 : side > kLargestBitmapEntry ? 1 : 2;
    };
    QList<qsizetype> stored(pictures.size());
    std::iota(stored.begin(), stored.end(), 0);
    std::stable_sort(stored.begin(), stored.end(),
        [&rank](qsizetype a, qsizetype b) { return rank(a) < rank(b); });
    QList<quint32> offsets(pictures.size());
    quint32 offset = kHeaderSize + kEntrySize * quint32(pictures.size());
    for (qsizetype i : stored) {
        offsets[i] = offset;
        offset += quint32(payloads[i].size());
    }
    for (qsizetype i = 0; i < pictures.size(); ++i) {
        out.append(sideByte(pictures[i].width()));
        out.append(sideByte(pictures[i].height()));
        out.append(char(0)); // no palette
        out.append(char(0));
        append16(out, 1); // planes
        append16(out, 32); // bits per pixel
        append32(out, quint32(payloads[i].size()));
        append32(out, offsets[i]);
    }
    for (qsizetype i : stored)
        out += payloads[i];
    return out;
}
