// SPDX-License-Identifier: MIT
#pragma once

#include <QRect>
#include <QSize>

// Where a Hall-of-Fame edition keeps its file.
enum class HallOfFameLocation {
    None,
    ProgramFolder, // beside the program file
    SystemDriveTemp, // one machine-wide file, from the SystemDrive variable
};

// The constants in which the editions differ. Code asks the profile, never
// which edition it runs. Geometry is in twips, as the layout was drawn.
struct EditionProfile {
    const char *deliverable;
    // Names the desktop entry and the metainfo of the program (packaging/).
    const char *desktopId;
    const char *caption;
    int gridSide;
    int cellCount;
    int pairCount;
    int iconPoolSize;
    QSize clientTwips;
    bool minimizeButton;
    bool hasTileZero;
    HallOfFameLocation hallOfFame;
    QRect lstRandTwips;
    QRect txtNumTwips;
    QRect footerTwips;

    constexpr bool keepsHallOfFame() const { return hallOfFame != HallOfFameLocation::None; }
    // side x side = cells = 2 x pairs: a square board, every tile in a pair.
    constexpr bool boardIsWhole() const
    {
        return gridSide * gridSide == cellCount && cellCount == 2 * pairCount;
    }
};
