// SPDX-License-Identifier: MIT
#pragma once

#include <QStringView>

// The number a text starts with, read the way BASIC's Val reads it: blanks
// (space, tab, line feed) are skipped wherever they stand, then an optional
// sign, digits, an optional decimal point with digits and an optional exponent
// (E or D, optional sign, digits). Reading stops at the first character that
// cannot continue the number; a text without digits gives 0.
double leadingNumber(QStringView text);
