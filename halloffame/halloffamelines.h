// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

// The lines of the Hall-of-Fame file, without any file: entry 0 is the
// header "[Tilvane]", entries 1 to 5 the five places.
namespace HallOfFameLines
{

constexpr qsizetype EntryCount = 6;

// What a new file holds.
QStringList defaultLines();

// The first six lines of a file's content, read the way the file is loaded
// (see HallOfFameLineReader). Fewer lines are not filled up here.
QStringList parseLines(QByteArrayView content);

// Every entry as UTF-8 followed by CR LF. A line feed inside an entry is
// written as a space, so entries can never become more lines.
QByteArray formatLines(const QStringList &entries);

// Whether the bytes are a whole file as a save writes it: six lines, each
// ended by CR LF. A save cut off midway has written fewer.
bool isWholeFile(QByteArrayView content);

// The line as it reads back once saved: a line longer than the reader keeps
// is cut the way the reader cuts it.
QString savedLine(const QString &line);

// Exactly six entries: the first six given, missing ones taken from the
// default lines.
QStringList withDefaults(const QStringList &entries);

// Longest name kept. With it, even a place moved down four times stays well
// inside the length a line is read back with.
constexpr qsizetype MaxNameLength = 1000;

// A player's name fit for one line: line breaks and all other control
// characters become spaces, and a name beyond MaxNameLength is cut there
// (never through a character).
QString sanitizedName(const QString &name);

// A line as the player sees it: line breaks and all other control characters
// shown as spaces. The file keeps them.
QString shownLine(QString line);

} // namespace HallOfFameLines
