// SPDX-License-Identifier: MIT
#include "artwriter.h"

#include "appicon.h"
#include "builtinpicture.h"
#include "emojipainter.h"
#include "icofile.h"
#include "pngbytes.h"
#include "poollist.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace
{

// Never above the font's own 136 x 128 bitmaps.
constexpr int kPoolSizes[] = { 32, 48, 64, EmojiPainter::kLargestSide };
constexpr int kBuiltinSize = 64;
constexpr int kWindowIconSize = 32;
constexpr int kThemeSizes[] = { 16, 22, 24, 32, 48, 64, 128, 256 };

} // namespace

ArtWriter::ArtWriter(const QString &iconsFolder, const QString &artFolder, const QString &fontPath,
    const QString &listPath)
    : m_iconsFolder(iconsFolder)
    , m_artFolder(artFolder)
    , m_fontPath(fontPath)
    , m_listPath(listPath)
{
}

bool ArtWriter::writeAll()
{
    return writePool() && writeBuiltins() && writeAppIcons();
}

bool ArtWriter::writePool()
{
    PoolList list;
    EmojiPainter painter;
    if (!list.read(m_listPath)) {
        m_error = list.error();
        return false;
    }
    if (!painter.load(m_fontPath)) {
        m_error = painter.error();
        return false;
    }
    for (const PoolEntry &entry : list.entries()) {
        const QImage drawn = painter.draw(entry.text);
        if (drawn.isNull()) {
            m_error = QStringLiteral("%1 has no picture for %2 (%3)")
                          .arg(m_fontPath, entry.name)
                          .arg(entry.number);
            return false;
        }
        // The name goes into the largest entry, the one stored as PNG, whose
        // text chunks the icon reader keeps.
        QImage largest = EmojiPainter::fitted(drawn);
        largest.setText(QStringLiteral("Title"), entry.name);
        QList<QImage> sizes;
        for (int size : kPoolSizes)
            sizes << (size == largest.width()
                    ? largest
                    : largest.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        const QString name = QStringLiteral("(%1).ico").arg(entry.number);
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
        const QImage drawn = appIcon(size);
        const QString name = QStringLiteral("/hicolor/%1x%1/apps/tilvane.png").arg(size);
        if (!writeFile(m_artFolder + name, pngBytes(drawn))
            || !writeFile(
                m_artFolder + QStringLiteral("/window/%1.argb").arg(size), pixmapBytes(drawn)))
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
