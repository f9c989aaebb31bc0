// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class QDateTime;

inline constexpr int kSecondsPerDay = 24 * 60 * 60;

// The time of day in whole seconds; the date and fractions of a second drop.
int secondsOfDay(const QDateTime &moment);

// End minus start. A game that runs across midnight ends "earlier" than it
// began; it took a day less than that difference suggests.
int elapsedSeconds(int startSeconds, int endSeconds);

// "hh:mm:ss", 24-hour, two digits each.
QString formatHms(int seconds);
