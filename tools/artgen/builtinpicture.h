// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>

inline constexpr int kBuiltinPictureCount = 48;

// Built-in picture 1..kBuiltinPictureCount, size x size pixels: a rounded
// card with a two-tone glyph, unlike the free-standing shapes of the pool.
// It carries its name as the text "Title", which its PNG file keeps.
QImage builtinPicture(int number, int size);
