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
