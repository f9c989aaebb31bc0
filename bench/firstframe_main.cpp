// SPDX-License-Identifier: MIT
// One program of editions/ as runEdition starts it, ending after its first
// painted frame. TILVANE_EDITION names the profile.
#include "editions.h"
#include "firstframequit.h"
#include "form1.h"
#include "qtplatform.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    const EditionProfile &profile = TILVANE_EDITION;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(profile.deliverable));
    QApplication::setApplicationVersion(QStringLiteral("1.00"));
    QApplication::setDesktopFileName(QString::fromLatin1(profile.deliverable));
    QtPlatform platform;
    Form1 window(profile, platform);
    new FirstFrameQuit(&window);
    if (!window.start())
        return 1;
    return app.exec();
}
