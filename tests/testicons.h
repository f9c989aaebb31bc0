// SPDX-License-Identifier: MIT
// Real icon files for tests: picture n is a solid colour that names n.
#pragma once

#include <QColor>
#include <QDir>
#include <QImage>
#include <QString>

inline QColor colourOfIcon(int n)
{
    return QColor(n, 255 - n, (n * 37) % 256);
}

inline QString iconFilePath(const QString &folder, int n)
{
    return folder + QStringLiteral("/Icons/(%1).ico").arg(n);
}

// Writes "(1).ico" .. "(count).ico" into folder/Icons.
inline bool writeTestIcons(const QString &folder, int count = 200)
{
    if (!QDir(folder).mkpath(QStringLiteral("Icons")))
        return false;
    for (int n = 1; n <= count; ++n) {
        QImage picture(48, 48, QImage::Format_ARGB32);
        picture.fill(colourOfIcon(n));
        if (!picture.save(iconFilePath(folder, n), "ico"))
            return false;
    }
    return true;
}

// The icon number a face's picture shows, or 0 when it is none of them.
inline int iconNumberOf(const QImage &picture)
{
    if (picture.isNull())
        return 0;
    const QColor c = picture.pixelColor(picture.width() / 2, picture.height() / 2);
    for (int n = 1; n <= 200; ++n)
        if (colourOfIcon(n) == c)
            return n;
    return 0;
}
