// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

// The Hall-of-Fame file on disk. Every failure throws HallOfFameError.
namespace HallOfFameFile
{

// Either way a symbolic link or anything but a regular file at the path is
// refused, and a save puts a whole new file in the old one's place, with the
// old one's owner, group, permissions and ACL; where the new file could not
// have them, or the folder or the disk has no room for it, the file is
// rewritten in place, locked.
enum class Sharing {
    // Beside the program, for the players of that copy: a new file follows
    // the umask.
    Private,
    // One file for every user in a world-writable folder: a new file is
    // readable and writable by every user.
    MachineWide,
};

// Creates the file with the default lines when nothing is at the path, or
// takes up the whole new file of a save that was cut off before it had the
// path; an existing regular file is left untouched, whatever it holds.
void makeIfMissing(const QString &path, Sharing sharing = Sharing::Private);

// Always six entries: the first six lines of the file, missing ones filled
// from the default lines. Nothing is written.
QStringList load(const QString &path, Sharing sharing = Sharing::Private);

// Replaces the whole file with six entries, each one line ended by CR LF.
// A failed save leaves the previous file as it was, unless it failed while
// rewriting the file in place.
void save(const QString &path, const QStringList &entries, Sharing sharing = Sharing::Private);

} // namespace HallOfFameFile
