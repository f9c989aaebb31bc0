// SPDX-License-Identifier: MIT
#pragma once

#include "editionprofile.h"

#include <QString>

// Where an edition keeps its Hall of Fame, by plain concatenation: nothing
// is added, trimmed or checked. Beside the program, or one machine-wide file
// below the system drive (empty when unset), so that every copy and every
// user shares it.
QString hallOfFamePathOf(
    HallOfFameLocation location, const QString &programFolder, const QString &systemDrive);
