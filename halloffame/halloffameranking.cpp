// SPDX-License-Identifier: MIT
#include "halloffameranking.h"

#include "halloffamelines.h"
#include "leadingnumber.h"

#include <cmath>

namespace
{

constexpr int FirstPlace = 1;
constexpr int LastPlace = 5;

QString wholeNumber(double value)
{
    return QString::number(std::fabs(std::round(value)), 'f', 0);
}

// What a moved line keeps behind its new label. A character is a code
// point: an emoji is one character, never half of one.
QString fromFourthCharacter(const QString &line)
{
    qsizetype start = 0;
    for (int skipped = 0; skipped < 3 && start < line.size(); ++skipped) {
        const bool pair = line.at(start).isHighSurrogate() && start + 1 < line.size()
            && line.at(start + 1).isLowSurrogate();
        start += pair ? 2 : 1;
    }
    return line.mid(start);
}

} // namespace

int HallOfFameRanking::findPlace(const QStringList &entries, double tries)
{
    for (int place = FirstPlace; place <= LastPlace; ++place)
        m_placeTries[place] = triesOf(entries.value(place), m_placeTries[place]);
    for (int place = FirstPlace; place <= LastPlace; ++place) {
        if (tries < m_placeTries[place])
            return place;
    }
    return 0;
}

QStringList HallOfFameRanking::entered(const QStringList &entries, int place, const QString &name,
    const QString &elapsedHms, double tries)
{
    if (place < FirstPlace || place > LastPlace)
        return entries;
    QStringList result = entries;
    while (result.size() <= LastPlace)
        result.append(QString());
    // A new label can be one character longer than the one it replaces: a
    // line at the length bound is cut here, not on the next start.
    for (int entry = LastPlace; entry > place; --entry) {
        result[entry] = HallOfFameLines::savedLine(
            label(entry) + fromFourthCharacter(entries.value(entry - 1)));
    }
    result[place] = label(place) + HallOfFameLines::sanitizedName(name) + QStringLiteral(" Time ")
        + elapsedHms + QStringLiteral(" Trys ") + wholeNumber(tries);
    return result;
}

QString HallOfFameRanking::label(int entry)
{
    switch (entry) {
    case 1:
        return QStringLiteral("No1 ");
    case 5:
        return QStringLiteral("No5 ");
    default:
        return QStringLiteral("No %1").arg(entry);
    }
}

double HallOfFameRanking::triesOf(const QString &line, double previous)
{
    const qsizetype lastSpace = line.lastIndexOf(u' ');
    if (lastSpace < 0)
        return previous;
    return leadingNumber(QStringView(line).mid(lastSpace, 4));
}
