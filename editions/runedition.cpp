// SPDX-License-Identifier: MIT
#include "runedition.h"

#include "boardaccessible.h"
#include "editionprofile.h"
#include "form1.h"
#include "gameicon.h"
#include "qtplatform.h"
#include "screenreader.h"

#include <QApplication>

void setUpApplication(const EditionProfile &profile)
{
    QApplication::setApplicationName(QString::fromLatin1(profile.deliverable));
    QApplication::setApplicationVersion(QStringLiteral("1.00"));
    QApplication::setDesktopFileName(QString::fromLatin1(profile.desktopId));
    // Before the window is first named, so that a screen reader finds the
    // board from the start.
    BoardAccessible::install();
}

void setApplicationIcon()
{
    QApplication::setWindowIcon(gameIcon());
}

int runEdition(int argc, char *argv[], const EditionProfile &profile,
    const std::function<void(Form1 &)> &beforeStart)
{
    QApplication app(argc, argv);
    setUpApplication(profile);
    QtPlatform platform;
    Form1 window(profile, platform);
    // A window made after the icon was set is handed the icon twice over,
    // every size converted and sent each time; made first, it is handed it
    // once. It is still not shown before the first deal.
    window.winId();
    setApplicationIcon();
    // Keyboard play is for whoever asks for it and whenever a screen reader
    // runs; everyone else keeps the game as it has always been.
    const bool asked = QCoreApplication::arguments().contains(QStringLiteral("--keyboard"));
    ScreenReader screenReader;
    window.setKeyboardPlay(asked || screenReader.running());
    QObject::connect(&screenReader, &ScreenReader::runningChanged, &window,
        [&window, asked](bool running) { window.setKeyboardPlay(asked || running); });
    if (beforeStart)
        beforeStart(window);
    if (!window.start())
        return 1;
    return app.exec();
}
