// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <QString>
#include <QStringList>

// Where a result goes in the five places, and the entries that follow from
// it. The tries of each place are remembered between calls, because a line
// without a space keeps the value read before (0 at first); an object lives
// as long as the window.
class HallOfFameRanking
{
public:
    // Reads the tries of places 1 to 5 from the entries, then returns the
    // first place whose tries are strictly more than `tries`, or 0 for none.
    int findPlace(const QStringList &entries, double tries);

    // The six entries after `name` took `place` (1 to 5): the places below
    // move down one, the last one drops out. The name is sanitized; entry 0
    // is left as it is. Another place returns the entries unchanged.
    static QStringList entered(const QStringList &entries, int place, const QString &name,
        const QString &elapsedHms, double tries);

    // "No1 ", "No 2", "No 3", "No 4", "No5 ": the labels of entries 1 to 5.
    static QString label(int entry);

    // The number of at most three characters after the line's last space;
    // `previous` when the line has no space.
    static double triesOf(const QString &line, double previous);

    double placeTries(int place) const { return m_placeTries.at(place); }

private:
    std::array<double, 6> m_placeTries {};
};
