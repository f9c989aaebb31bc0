// SPDX-License-Identifier: MIT
#include "gametime.h"

#include <QDateTime>

int secondsOfDay(const QDateTime &moment)
{
    return moment.time().msecsSinceStartOfDay() / 1000;
}

int elapsedSeconds(int startSeconds, int endSeconds)
{
    const int difference = endSeconds - startSeconds;
    return difference < 0 ? difference + kSecondsPerDay : difference;
}

QString formatHms(int seconds)
{
    const int s = ((seconds % kSecondsPerDay) + kSecondsPerDay) % kSecondsPerDay;
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600, 2, 10, QLatin1Char('0'))
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}
