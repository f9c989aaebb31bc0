// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QImage>

// The picture as a 32-bit RGBA PNG file, its texts (its "Title") in text
// chunks before the image data; the same picture always gives the same bytes.
QByteArray pngBytes(const QImage &picture);

// The pixels of that PNG file as a pixmap holds them once read: premultiplied
// 32-bit ARGB in this machine's byte order, row after row, nothing else.
QByteArray pixmapBytes(const QImage &picture);
