// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>

inline constexpr int kPoolPictureCount = 200;

struct PoolEntry {
    int number = 0;
    QString text; // the character sequence the emoji font draws
    QString name;
};

// The list of pool pictures: one line per picture, "NUMBER CODEPOINTS NAME",
// code points in hex joined by '+' (for example "57 1F431 cat"). Lines that
// are empty or start with '#' are skipped. The numbers must run 1, 2, ...
// kPoolPictureCount in order, and no sequence may appear twice.
class PoolList
{
public:
    bool read(const QString &path);

    const QList<PoolEntry> &entries() const { return m_entries; }
    QString error() const { return m_error; }

private:
    bool parseLine(const QString &line, int lineNumber);
    bool fail(int lineNumber, const QString &what);

    QList<PoolEntry> m_entries;
    QString m_error;
};
