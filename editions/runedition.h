// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

class Form1;
struct EditionProfile;

// Names the program, gives it its icon and lets screen readers find the
// board in its windows; runEdition does it first.
void setUpApplication(const EditionProfile &profile);

// The whole life of one program: its window, its first deal, its play.
// `beforeStart` sees the window before its first deal (benchmarks use it).
int runEdition(int argc, char *argv[], const EditionProfile &profile,
    const std::function<void(Form1 &)> &beforeStart = {});
