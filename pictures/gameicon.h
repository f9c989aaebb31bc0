// SPDX-License-Identifier: MIT
#pragma once

#include <QIcon>

// The program's icon in every size it is drawn in, so that docks and task
// switchers need not scale the 32 x 32 picture up.
QIcon gameIcon();
