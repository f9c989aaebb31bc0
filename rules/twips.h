// SPDX-License-Identifier: MIT
#pragma once

#include <QRect>

// The layout is drawn in twips; Qt places widgets in device-independent
// pixels and its high-DPI scaling does the rest.
inline constexpr int kTwipsPerPixel = 15;

constexpr int twipsToPixels(int twips)
{
    return twips / kTwipsPerPixel;
}

constexpr QRect twipsToPixels(const QRect &twips)
{
    return { twipsToPixels(twips.x()), twipsToPixels(twips.y()), twipsToPixels(twips.width()),
        twipsToPixels(twips.height()) };
}
