// SPDX-License-Identifier: MIT
// Draws the game's pictures at build time: our own drawings, and the pool
// from a colour emoji font. The same font file gives the same bytes.
#include "artwriter.h"

#include <cstdio>
#include <QGuiApplication>
#include <QString>

int main(int argc, char *argv[])
{
    if (argc != 5) {
        std::fputs("usage: tilvane-artgen ICONS_FOLDER ART_FOLDER EMOJI_FONT POOL_LIST\n", stderr);
        return 2;
    }
    // Fonts need an application, not a screen: a build has none.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int appArgc = 1;
    QGuiApplication app(appArgc, argv);
    ArtWriter writer(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]),
        QString::fromLocal8Bit(argv[3]), QString::fromLocal8Bit(argv[4]));
    if (!writer.writeAll()) {
        std::fprintf(stderr, "tilvane-artgen: %s\n", qPrintable(writer.error()));
        return 1;
    }
    return 0;
}
