// SPDX-License-Identifier: MIT
#include "builtinart.h"

#include <QDirIterator>

QString BuiltinArt::picturePath(int number)
{
    return QStringLiteral(":/art/builtin/%1.png").arg(number, 2, 10, QLatin1Char('0'));
}

QString BuiltinArt::windowIconPath()
{
    return QStringLiteral(":/art/tilvane.png");
}

QStringList BuiltinArt::windowIconPaths()
{
    QStringList paths;
    QDirIterator sizes(QStringLiteral(":/art/hicolor"), { QStringLiteral("tilvane.png") },
        QDir::Files, QDirIterator::Subdirectories);
    while (sizes.hasNext())
        paths.append(sizes.next());
    return paths;
}
