// SPDX-License-Identifier: MIT
#include "artwriter.h"

#include "appicon.h"
#include "builtinpicture.h"
#include "icofile.h"
#include "pngbytes.h"
#include "poolpicture.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace
{

constexpr int kPoolSizes[] = { 32, 48, 64, 128, 256 };
constexpr int kBuiltinSize = 64;
constexpr int kWindowIconSize = 32;
constexpr int kThemeSizes[] = { 16, 22, 24, 32, 48, 64, 128, 256 };

} // namespace

ArtWriter::ArtWriter(const QString &iconsFolder, const QString &artFolder)
    : m_iconsFolder(iconsFolder)
    , m_artFolder(artFolder)
{
}

bool ArtWriter::writeAll()
{
    return writePool() && writeBuiltins() && writeAppIcons();
}

bool ArtWriter::writePool()
{
    for (int number = 1; number <= kPoolPictureCount; ++number) {
        QList<QImage> sizes;
        for (int size : kPoolSizes)
            sizes << poolPicture(number, size);
        const QString name = QStringLiteral("(%1).ico").arg(number);
        if (!writeFile(m_iconsFolder + u'/' + name, icoFile(sizes)))
            return false;
    }
    return true;
}

bool ArtWriter::writeBuiltins()
{
    for (int number = 1; number <= kBuiltinPictureCount; ++number) {
        const QString name = QStringLiteral("builtin/%1.png").arg(number, 2, 10, QLatin1Char('0'));
        if (!writeFile(m_artFolder + u'/' + name, pngBytes(builtinPicture(number, kBuiltinSize))))
            return false;
    }
    return true;
}

bool ArtWriter::writeAppIcons()
{
    if (!writeFile(
            m_artFolder + QStringLiteral("/tilvane.png"), pngBytes(appIcon(kWindowIconSize))))
        return false;
    for (int size : kThemeSizes) {
        const QString name = QStringLiteral("/hicolor/%1x%1/apps/tilvane.png").arg(size);
        if (!writeFile(m_artFolder + name, pngBytes(appIcon(size))))
            return false;
    }
    return true;
}

bool ArtWriter::writeFile(const QString &path, const QByteArray &bytes)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        m_error = QStringLiteral("cannot create the folder of %1").arg(path);
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        m_error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}
