// SPDX-License-Identifier: MIT
#include "halloffamepath.h"

QString hallOfFamePathOf(HallOfFameLocation location, const QString &programFolder,
    const QString &systemDrive, PathStyle style)
{
    const bool windows = style == PathStyle::Windows;
    switch (location) {
    case HallOfFameLocation::None:
        break;
    case HallOfFameLocation::ProgramFolder:
        return programFolder + (windows ? u'\\' : u'/') + QStringLiteral("Tilvane.ini");
    case HallOfFameLocation::SystemDriveTemp:
        // On Linux, the machine-wide temporary folder that survives a restart.
        return systemDrive
            + (windows ? QStringLiteral("\\WINDOWS\\Temp\\Tilvane.ini")
                       : QStringLiteral("/var/tmp/Tilvane.ini"));
    }
    return {};
}
