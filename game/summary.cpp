// SPDX-License-Identifier: MIT
#include "summary.h"

#include "gametime.h"

#include <QLocale>
#include <QTime>

namespace
{

// Drops the zone fields ("t") of a time format, leaving quoted text alone.
QString timeFormatWithoutZone(const QLocale &locale)
{
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString kept;
    bool quoted = false;
    for (QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (quoted || c != QLatin1Char('t'))
            kept.append(c);
    }
    return kept.simplified();
}

} // namespace

QString timeOfDayText(const QLocale &locale, int secondsOfDay)
{
    return locale.toString(
        QTime::fromMSecsSinceStartOfDay(secondsOfDay * 1000), timeFormatWithoutZone(locale));
}

QString summaryText(
    const QLocale &locale, int startTime, int timeNow, int elapsedTime, double tries)
{
    return QStringLiteral("Time Started ") + timeOfDayText(locale, startTime)
        + QStringLiteral(" End Time ") + timeOfDayText(locale, timeNow) + QStringLiteral("\r\n")
        + QStringLiteral("Total Time Playing For ") + formatHms(elapsedTime)
        + QStringLiteral(" With ") + QString::number(static_cast<qint64>(tries))
        + QStringLiteral(" Trys");
}
