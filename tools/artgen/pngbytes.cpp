// SPDX-License-Identifier: MIT
#include "pngbytes.h"

#include <QBuffer>

QByteArray pngBytes(const QImage &picture)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.convertToFormat(QImage::Format_ARGB32).save(&buffer, "PNG");
    return bytes;
}

QByteArray pixmapBytes(const QImage &picture)
{
    const QImage pixels = picture.convertToFormat(QImage::Format_ARGB32)
                              .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    return QByteArray(reinterpret_cast<const char *>(pixels.constBits()), pixels.sizeInBytes());
}
