// SPDX-License-Identifier: MIT
#include "boardfocus.h"

int focusCellAfterKey(int cell, int key, Qt::KeyboardModifiers modifiers, int gridSide)
{
    const int row = cell / gridSide;
    const int column = cell % gridSide;
    const int last = gridSide - 1;
    // The keypad's arrows, Home and End are the same keys with KeypadModifier.
    const bool ctrl = modifiers & Qt::ControlModifier;
    switch (key) {
    case Qt::Key_Left:
        return row * gridSide + qMax(column - 1, 0);
    case Qt::Key_Right:
        return row * gridSide + qMin(column + 1, last);
    case Qt::Key_Up:
        return qMax(row - 1, 0) * gridSide + column;
    case Qt::Key_Down:
        return qMin(row + 1, last) * gridSide + column;
    case Qt::Key_Home:
        return ctrl ? 0 : row * gridSide;
    case Qt::Key_End:
        return ctrl ? gridSide * gridSide - 1 : row * gridSide + last;
    default:
        return -1;
    }
}

QString progressText(int tries, int pairsFound, int pairCount)
{
    const QString triesText
        = tries == 1 ? QStringLiteral("1 try") : QStringLiteral("%1 tries").arg(tries);
    return QStringLiteral("%1, %2 of %3 pairs found").arg(triesText).arg(pairsFound).arg(pairCount);
}
