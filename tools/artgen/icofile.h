// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>

// A Windows icon file holding the given square pictures, one 32-bit RGBA
// entry each, in the order given. Entries up to kLargestBitmapEntry pixels
// are stored as uncompressed bitmaps, which decode about three times faster
// than PNG; larger ones as PNG, which keeps the files small.
inline constexpr int kLargestBitmapEntry = 64;

QByteArray icoFile(const QList<QImage> &pictures);
