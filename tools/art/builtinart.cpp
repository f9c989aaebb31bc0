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

QString BuiltinArt::windowIconPixelsPath(int side)
{
    return QStringLiteral(":/art/window/%1.argb").arg(side);
}
