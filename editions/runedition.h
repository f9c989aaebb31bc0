// SPDX-License-Identifier: MIT
#pragma once

struct EditionProfile;

// The whole life of one program: its window, its first deal, its play.
int runEdition(int argc, char *argv[], const EditionProfile &profile);
