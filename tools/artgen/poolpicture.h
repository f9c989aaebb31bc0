// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>

inline constexpr int kPoolPictureCount = 200;

// Picture 1..kPoolPictureCount of the icon pool, size x size pixels, on a
// transparent background. Every picture has its own pair of silhouette and
// motif, so none is told apart from another by colour alone.
QImage poolPicture(int number, int size);
