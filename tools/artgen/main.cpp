// SPDX-License-Identifier: MIT
// Draws the game's pictures at build time, so that none is copied from
// anywhere and every build gives the same bytes.
#include "artwriter.h"

#include <cstdio>
#include <QString>

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fputs("usage: tilvane-artgen ICONS_FOLDER ART_FOLDER\n", stderr);
        return 2;
    }
    ArtWriter writer(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));
    if (!writer.writeAll()) {
        std::fprintf(stderr, "tilvane-artgen: %s\n", qPrintable(writer.error()));
        return 1;
    }
    return 0;
}
