// SPDX-License-Identifier: MIT
#include "iconpicture.h"

#include <algorithm>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QtEndian>

namespace
{

// Far above any tile face (256 x 256 x 4 bytes is a quarter of it).
constexpr int kAllocationLimitMiB = 4;
constexpr qint64 kHeaderBytes = 6;
constexpr qint64 kEntryBytes = 16;
// More sizes than any icon needs; a directory claiming more is not read whole.
constexpr int kMostEntries = 64;
constexpr char kNameKey[] = "Title";
// A name is a few words, ahead of the image data: a picture whose metadata
// goes on and on is not looked through.
constexpr qint64 kHeadBytes = 1024;

struct IconEntry {
    int side = 0;
    qint64 offset = 0;
};

// The entries of the icon's own directory, peeked at: reading it is far
// cheaper than asking the reader about each. None when the file is no icon.
QList<IconEntry> iconEntries(QFile &file)
{
    const QByteArray header = file.peek(kHeaderBytes);
    if (header.size() < kHeaderBytes || qFromLittleEndian<quint16>(header.constData()) != 0
        || qFromLittleEndian<quint16>(header.constData() + 2) != 1) {
        return {};
    }
    const int count = qMin<int>(qFromLittleEndian<quint16>(header.constData() + 4), kMostEntries);
    const QByteArray directory = file.peek(kHeaderBytes + count * kEntryBytes);
    QList<IconEntry> entries;
    for (int i = 0; i < count && kHeaderBytes + (i + 1) * kEntryBytes <= directory.size(); ++i) {
        const char *entry = directory.constData() + kHeaderBytes + i * kEntryBytes;
        const int width = uchar(entry[0]);
        entries.append({ width == 0 ? 256 : width, qFromLittleEndian<quint32>(entry + 12) });
    }
    return entries;
}

// The smallest side that covers `pixelSize`, else the largest; -1 when
// there is none.
int entryCovering(const QList<IconEntry> &entries, int pixelSize)
{
    int best = -1;
    int bestSide = 0;
    for (int i = 0; i < entries.size(); ++i) {
        const int side = entries[i].side;
        const bool covers = side >= pixelSize;
        const bool bestCovers = bestSide >= pixelSize;
        if (best < 0 || (covers && (!bestCovers || side < bestSide))
            || (!covers && !bestCovers && side > bestSide)) {
            best = i;
            bestSide = side;
        }
    }
    return best;
}

// Moves forward by skipping, which stays within what the file has read
// already, or else by seeking.
bool moveTo(QFile &file, qint64 offset)
{
    const qint64 ahead = offset - file.pos();
    return ahead >= 0 ? file.skip(ahead) == ahead : file.seek(offset);
}

// The name among the text chunks ahead of the image data of a PNG at
// `offset`, a Latin-1 tEXt as PNG defines its "Title". Empty when the entry
// is no PNG or names nothing within its first kHeadBytes.
QString titleInPng(QFile &file, qint64 offset)
{
    if (!moveTo(file, offset))
        return {};
    const QByteArray png = file.peek(kHeadBytes);
    if (!png.startsWith("\x89PNG\r\n\x1a\n"))
        return {};
    for (qint64 at = 8; at + 8 <= png.size();) {
        const qint64 length = qFromBigEndian<quint32>(png.constData() + at);
        const QByteArray type = png.mid(at + 4, 4);
        if (type == "IDAT" || type == "IEND" || at + 12 + length > png.size())
            return {};
        const QByteArray data = png.mid(at + 8, length);
        const qsizetype keyEnd = data.indexOf('\0');
        if (type == "tEXt" && keyEnd >= 0 && data.left(keyEnd) == kNameKey)
            return QString::fromLatin1(data.mid(keyEnd + 1)).simplified();
        at += 12 + length;
    }
    return {};
}

// Largest first: PNG entries are the large ones, and the pool's lie right
// after the bitmap a tile reads, where the file was read up to.
QString titleInIcon(QFile &file, QList<IconEntry> entries)
{
    std::stable_sort(entries.begin(), entries.end(),
        [](const IconEntry &a, const IconEntry &b) { return a.side > b.side; });
    for (const IconEntry &entry : entries) {
        const QString title = titleInPng(file, entry.offset);
        if (!title.isEmpty())
            return title;
    }
    return {};
}

QString numberedName(const QString &path)
{
    QString number = QFileInfo(path).completeBaseName();
    if (number.startsWith(u'(') && number.endsWith(u')'))
        number = number.mid(1, number.size() - 2);
    return QStringLiteral("picture %1").arg(number);
}

} // namespace

QImage loadIconPicture(const QString &path, int pixelSize)
{
    // Opening a pipe waits for a writer that never comes; only a regular
    // file can hold a picture.
    if (!QFileInfo(path).isFile())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QList<IconEntry> entries = iconEntries(file);
    const int entry = entryCovering(entries, pixelSize);
    if (entry < 0)
        return {};
    QImageReader reader(&file, QByteArrayLiteral("ico"));
    reader.setAutoDetectImageFormat(false);
    reader.setAllocationLimit(kAllocationLimitMiB);
    if (!reader.jumpToImage(entry))
        return {};
    QImage picture = reader.read();
    if (picture.isNull())
        return {};
    const QString title = titleInIcon(file, entries);
    picture.setText(QLatin1String(kNameKey), title.isEmpty() ? numberedName(path) : title);
    return picture;
}

QString pictureName(const QImage &picture)
{
    return picture.text(QLatin1String(kNameKey));
}
