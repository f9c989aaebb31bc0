// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>

// The program's icon, size x size pixels: two cards of a matched pair.
QImage appIcon(int size);
