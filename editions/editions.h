// SPDX-License-Identifier: MIT
#pragma once

#include "editionprofile.h"

#include <algorithm>
#include <array>

inline constexpr EditionProfile kEdition1 {
    .deliverable = "tilvane-v1",
    .desktopId = "org.tilvane.Tilvane.V1",
    .caption = "Tilvane",
    .gridSide = 4,
    .cellCount = 16,
    .pairCount = 8,
    .iconPoolSize = 200,
    .clientTwips = { 2985, 3000 },
    .minimizeButton = false,
    .hasTileZero = false,
    .hallOfFame = HallOfFameLocation::None,
    .lstRandTwips = { 6360, 360, 375, 5325 },
    .txtNumTwips = { 5040, 0, 1695, 285 },
    .footerTwips = { 0, 2880, 2895, 255 },
};

inline constexpr EditionProfile kEdition2 {
    .deliverable = "tilvane-v2",
    .desktopId = "org.tilvane.Tilvane.V2",
    .caption = "Tilvane V2",
    .gridSide = 6,
    .cellCount = 36,
    .pairCount = 18,
    .iconPoolSize = 200,
    .clientTwips = { 4425, 4455 },
    .minimizeButton = true,
    .hasTileZero = false,
    .hallOfFame = HallOfFameLocation::None,
    .lstRandTwips = { 6360, 360, 375, 5325 },
    .txtNumTwips = { 5040, 0, 1695, 285 },
    .footerTwips = { 120, 4440, 4215, 255 },
};

inline constexpr EditionProfile kEdition3 {
    .deliverable = "tilvane-v3",
    .desktopId = "org.tilvane.Tilvane.V3",
    .caption = "Tilvane V3",
    .gridSide = 10,
    .cellCount = 100,
    .pairCount = 50,
    .iconPoolSize = 200,
    .clientTwips = { 7290, 7320 },
    .minimizeButton = true,
    .hasTileZero = true,
    .hallOfFame = HallOfFameLocation::SystemDriveTemp,
    .lstRandTwips = { 14520, 2280, 375, 5325 },
    .txtNumTwips = { 14520, 360, 1695, 285 },
    .footerTwips = { -120, 7245, 7335, 255 },
};

// Edition 3.1 is edition 3 with its Hall of Fame beside the program.
inline constexpr EditionProfile kEdition31 = [] {
    EditionProfile profile = kEdition3;
    profile.deliverable = "tilvane-v31";
    profile.desktopId = "org.tilvane.Tilvane.V31";
    profile.hallOfFame = HallOfFameLocation::ProgramFolder;
    return profile;
}();

inline constexpr std::array<const EditionProfile *, 4> kEditions { &kEdition1, &kEdition2,
    &kEdition3, &kEdition31 };

static_assert(std::all_of(kEditions.begin(), kEditions.end(),
                  [](const EditionProfile *profile) { return profile->boardIsWhole(); }),
    "every board is square and made of whole pairs");
