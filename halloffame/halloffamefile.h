// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The Hall-of-Fame file on disk. Every failure throws HallOfFameError.
namespace HallOfFameFile
{

enum class Sharing {
    // Beside the program, for its own user: QSaveFile replaces it atomically.
    Private,
    // One file for every user in a world-writable folder: symbolic links and
    // anything but a regular file are refused, the file is created with mode
    // 0666, and is rewritten in place where another user's file cannot be
    // replaced.
    MachineWide,
};

// Creates the file with the default lines when nothing is at the path; an
// existing regular file is left untouched, whatever it holds.
void makeIfMissing(const QString &path, Sharing sharing = Sharing::Private);

// Always six entries: the first six lines of the file, missing ones filled
// from the default lines. Nothing is written.
QStringList load(const QString &path, Sharing sharing = Sharing::Private);

// Replaces the whole file with six entries, each one line ended by CR LF.
// A failed save leaves the previous file as it was.
void save(const QString &path, const QStringList &entries, Sharing sharing = Sharing::Private);

// The last resort of a machine-wide save: opens the existing regular file
// without following links or creating it, writes `content` over it, cuts it
// to that length and syncs it. Open for tests.
void rewriteInPlace(const QString &path, const QByteArray &content);

} // namespace HallOfFameFile
