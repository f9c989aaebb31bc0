// SPDX-License-Identifier: MIT
#pragma once

#include "editionprofile.h"

#include <array>

inline constexpr EditionProfile kEdition1 { "tilvane-v1", "Tilvane", 4, 16, 8, 200, { 2985, 3000 },
    false, false, HallOfFameLocation::None, { 6360, 360, 375, 5325 }, { 5040, 0, 1695, 285 },
    { 0, 2880, 2895, 255 } };

inline constexpr EditionProfile kEdition2 { "tilvane-v2", "Tilvane V2", 6, 36, 18, 200,
    { 4425, 4455 }, true, false, HallOfFameLocation::None, { 6360, 360, 375, 5325 },
    { 5040, 0, 1695, 285 }, { 120, 4440, 4215, 255 } };

inline constexpr EditionProfile kEdition3 { "tilvane-v3", "Tilvane V3", 10, 100, 50, 200,
    { 7290, 7320 }, true, true, HallOfFameLocation::SystemDriveTemp, { 14520, 2280, 375, 5325 },
    { 14520, 360, 1695, 285 }, { -120, 7245, 7335, 255 } };

inline constexpr EditionProfile kEdition31 { "tilvane-v31", "Tilvane V3", 10, 100, 50, 200,
    { 7290, 7320 }, true, true, HallOfFameLocation::ProgramFolder, { 14520, 2280, 375, 5325 },
    { 14520, 360, 1695, 285 }, { -120, 7245, 7335, 255 } };

inline constexpr std::array<const EditionProfile *, 4> kEditions { &kEdition1, &kEdition2,
    &kEdition3, &kEdition31 };
