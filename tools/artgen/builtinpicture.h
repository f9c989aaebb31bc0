// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>

inline constexpr int kBuiltinPictureCount = 48;

// Built-in picture 1..kBuiltinPictureCount, size x size pixels: a rounded
// card with a two-tone glyph, unlike the free-standing shapes of the pool.
QImage builtinPicture(int number, int size);
