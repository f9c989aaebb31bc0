// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class QLocale;

// The user's long time format without its time zone, and without the
// brackets and separators the zone stood in.
QString timeOfDayFormat(const QLocale &locale);

// A time of day in the user's own time format, with seconds and without a
// time zone: 2:05:09 PM with US English settings.
QString timeOfDayText(const QLocale &locale, int secondsOfDay);

// The message that ends a game on the small boards: two lines, CR LF between.
QString summaryText(
    const QLocale &locale, int startTime, int timeNow, int elapsedTime, double tries);
