// SPDX-License-Identifier: MIT
#include "halloffamepath.h"

#include <QDir>

QString hallOfFamePathOf(
    HallOfFameLocation location, const QString &programFolder, const QString &systemDrive)
{
    switch (location) {
    case HallOfFameLocation::None:
        break;
    case HallOfFameLocation::ProgramFolder:
        return programFolder + QDir::separator() + QStringLiteral("Tilvane.ini");
    case HallOfFameLocation::SystemDriveTemp:
#ifdef Q_OS_WIN
        return systemDrive + QStringLiteral("\\WINDOWS\\Temp\\Tilvane.ini");
#else
        // The machine-wide temporary folder that survives a restart.
        return systemDrive + QStringLiteral("/var/tmp/Tilvane.ini");
#endif
    }
    return {};
}
