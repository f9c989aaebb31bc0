// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>

// Splits the bytes of a Hall-of-Fame file into its first lines as they come
// in, so that a file of any size is read with bounded memory. A line ends at
// CR LF, at LF or at the end of the file; a lone CR stays in the line. Each
// line is decoded as UTF-8, or as Latin-1 where it is not valid UTF-8.
class HallOfFameLineReader
{
public:
    static constexpr qsizetype MaxLines = 6;
    // Longer lines are cut here; the rest of such a line is skipped.
    static constexpr qsizetype MaxLineBytes = 4096;

    // Returns false once MaxLines lines are complete: nothing more is needed.
    bool feed(QByteArrayView bytes);
    // The end of the input: a last line without a line break counts too.
    QStringList finish();

private:
    void endLine(bool atLineFeed);

    QStringList m_lines;
    QByteArray m_line;
    bool m_lineStarted = false;
    bool m_lineCut = false;
};
