// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

// The pictures compiled into the programs by linking tilvane_art.
namespace BuiltinArt
{

inline constexpr int kPictureCount = 48;

// Resource path of built-in picture 1..kPictureCount, 64 x 64 pixels.
QString picturePath(int number);
// Resource path of the 32 x 32 window icon.
QString windowIconPath();
// Resource paths of the same icon in every size drawn.
QStringList windowIconPaths();

} // namespace BuiltinArt
