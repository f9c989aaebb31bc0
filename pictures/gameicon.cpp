// SPDX-License-Identifier: MIT
#include "gameicon.h"

#include "builtinart.h"

QIcon gameIcon()
{
    QIcon icon;
    for (const QString &path : BuiltinArt::windowIconPaths())
        icon.addFile(path);
    return icon;
}
