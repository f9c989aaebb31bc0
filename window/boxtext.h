// SPDX-License-Identifier: MIT
#pragma once

#include <QSizeF>
#include <QStringList>

class QFont;

// The lines of a message box as they fit `area`: the box wraps them at its
// width or wider, and has its height for them. Lines that fit are kept whole,
// however long, words wider than the box given places to wrap; only what
// cannot fit gives up the middle of the longest lines, keeping each line's
// start and its last 24 characters (a Hall-of-Fame place's time and tries).
QStringList linesFittedTo(const QStringList &lines, const QFont &font, QSizeF area);
