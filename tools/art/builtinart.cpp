// SPDX-License-Identifier: MIT
#include "builtinart.h"

QString BuiltinArt::picturePath(int number)
{
    return QStringLiteral(":/art/builtin/%1.png").arg(number, 2, 10, QLatin1Char('0'));
}

QString BuiltinArt::windowIconPath()
{
    return QStringLiteral(":/art/tilvane.png");
}
