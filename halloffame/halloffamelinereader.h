// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>

// Splits the bytes of a Hall-of-Fame file into its first lines as they come
// in, so that a file of any size is read with bounded memory and bounded
// work: the input ends at MaxFileBytes, as if the file ended there. A line ends at
// CR LF, at LF or at the end of the file; a lone CR stays in the line. Each
// line is decoded as UTF-8, or where it is not valid UTF-8 in the system's 8-bit
// code page (Latin-1; the ANSI code page on Windows).
class HallOfFameLineReader
{
public:
    static constexpr qsizetype MaxLines = 6;
    // Longer lines are cut here; the rest of such a line is skipped.
    static constexpr qsizetype MaxLineBytes = 4096;
    // Six lines the program saves take at most about 25 KB; a file of any
    // length, even a sparse one of terabytes, is read no further than this.
    static constexpr qsizetype MaxFileBytes = 16 * 1024 * 1024;

    // Returns false once MaxLines lines are complete or MaxFileBytes were
    // fed: nothing more is needed.
    bool feed(QByteArrayView bytes);
    // How many more bytes feed() takes.
    qsizetype bytesLeft() const { return m_bytesLeft; }
    // The end of the input: a last line without a line break counts too.
    QStringList finish();

private:
    void endLine(bool atLineFeed);

    QStringList m_lines;
    QByteArray m_line;
    bool m_lineStarted = false;
    bool m_lineCut = false;
    qsizetype m_bytesLeft = MaxFileBytes;
};
