// SPDX-License-Identifier: MIT
#pragma once

#include "editionprofile.h"

#include <QString>

// How a system writes a path: which separator, and which folder every user
// of the machine shares.
enum class PathStyle { Posix, Windows };

#ifdef Q_OS_WIN
inline constexpr PathStyle kNativePathStyle = PathStyle::Windows;
#else
inline constexpr PathStyle kNativePathStyle = PathStyle::Posix;
#endif

// Where an edition keeps its Hall of Fame, by plain concatenation: nothing
// is added, trimmed or checked. Beside the program, or one machine-wide file
// below the system drive (empty when unset), so that every copy and every
// user shares it.
QString hallOfFamePathOf(HallOfFameLocation location, const QString &programFolder,
    const QString &systemDrive, PathStyle style = kNativePathStyle);
