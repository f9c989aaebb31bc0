// SPDX-License-Identifier: MIT
#include "runedition.h"

#include "editionprofile.h"
#include "form1.h"
#include "qtplatform.h"

#include <QApplication>

int runEdition(int argc, char *argv[], const EditionProfile &profile,
    const std::function<void(Form1 &)> &beforeStart)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(profile.deliverable));
    QApplication::setApplicationVersion(QStringLiteral("1.00"));
    QApplication::setDesktopFileName(QString::fromLatin1(profile.deliverable));
    QtPlatform platform;
    Form1 window(profile, platform);
    if (beforeStart)
        beforeStart(window);
    if (!window.start())
        return 1;
    return app.exec();
}
