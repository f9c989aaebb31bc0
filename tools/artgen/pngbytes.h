// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QImage>

// The picture as a 32-bit RGBA PNG file, its texts (its "Title") in text
// chunks before the image data; the same picture always gives the same bytes.
QByteArray pngBytes(const QImage &picture);
