// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <QString>

// The pictures compiled into the programs by linking tilvane_art.
namespace BuiltinArt
{

inline constexpr int kPictureCount = 48;

// Resource path of built-in picture 1..kPictureCount, 64 x 64 pixels.
QString picturePath(int number);
// Resource path of the 32 x 32 window icon.
QString windowIconPath();
// The sides of the sizes the same icon is drawn in, smallest first.
inline constexpr std::array<int, 8> kWindowIconSides { 16, 22, 24, 32, 48, 64, 128, 256 };
// Resource path of the icon's pixels at one of those sides, as a pixmap holds
// them: side x side premultiplied 32-bit ARGB in this machine's byte order.
QString windowIconPixelsPath(int side);

} // namespace BuiltinArt
