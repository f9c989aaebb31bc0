// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

class Form1;
struct EditionProfile;

// Names the program and lets screen readers find the board in its windows;
// runEdition does it first.
void setUpApplication(const EditionProfile &profile);
// Gives every window of the program its icon, the message boxes included;
// runEdition does it as soon as its window exists.
void setApplicationIcon();

// The whole life of one program: its window, its first deal, its play.
// `beforeStart` sees the window before its first deal (benchmarks use it).
int runEdition(int argc, char *argv[], const EditionProfile &profile,
    const std::function<void(Form1 &)> &beforeStart = {});
