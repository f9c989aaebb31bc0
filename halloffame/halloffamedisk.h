// SPDX-License-Identifier: MIT
#pragma once

#include "halloffameerror.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// What the Hall-of-Fame file needs of the file system, with one source file
// per system (halloffamedisk_unix.cpp, halloffamedisk_win.cpp). Nothing here
// follows a symbolic link at the path or uses anything but a regular file
// there; every failure throws HallOfFameError.
namespace HallOfFameDisk
{

// A file with more than one name (a hard link) is read and replaced like any
// other: the other name keeps the old bytes. Only a rewrite in place would
// change them too, and is refused for a file of the player's own; another
// user's file that the player may write was shared on purpose.
struct Rules {
    // A file made from nothing is readable and writable by every user;
    // otherwise it follows the umask. A saved file always keeps the
    // permissions of the one it replaces.
    bool everyoneWrites = false;
};

// True for a regular file at the path, false for nothing there.
bool exists(const QString &path, const Rules &rules, HallOfFameError::Action action);

// The first lines of the file, read under a shared lock and never past
// HallOfFameLineReader::MaxFileBytes. Waits about 5 s at most for other
// programs holding the file.
QStringList readLines(const QString &path, const Rules &rules);

// Puts a new file, whole, at the path; or, where a save was cut off after
// its new file was whole but before that had the path, that file. What
// appeared there meanwhile is judged as exists() judges it, and kept.
void create(const QString &path, const QByteArray &content, const Rules &rules);

// Puts a new file, whole and durable, in the place of the one at the path
// (or of nothing), when the new file can have all the old one has: owner,
// group, permissions, ACL and other extended attributes (on Windows,
// ReplaceFileW carries them over). Otherwise, and where the folder or the
// disk has no room for a new file, the old one is rewritten in place. A
// save waits about 5 s at most in all for other programs holding the file.
void replace(const QString &path, const QByteArray &content, const Rules &rules);

// Writes `content` over the existing file under an exclusive lock, cuts it
// to that length and syncs it. A file of the player's own with another name
// is refused, and so is a file no longer at the path once locked.
void rewriteInPlace(const QString &path, const QByteArray &content, const Rules &rules);

} // namespace HallOfFameDisk
