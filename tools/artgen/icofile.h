// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>

// A Windows icon file holding the given square pictures, one 32-bit RGBA
// entry each, listed in the order given. Entries up to kLargestBitmapEntry
// pixels are stored as uncompressed bitmaps, which decode about three times
// faster than PNG; larger ones as PNG, which keeps the files small and the
// picture's texts (its name). The PNG data lies right after the bitmaps up
// to kTileBitmapEntry pixels.
inline constexpr int kLargestBitmapEntry = 64;
// The entry a 40-pixel tile reads at 1x.
inline constexpr int kTileBitmapEntry = 48;

QByteArray icoFile(const QList<QImage> &pictures);
