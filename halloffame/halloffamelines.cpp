// SPDX-License-Identifier: MIT
#include "halloffamelines.h"

#include "halloffamelinereader.h"

namespace HallOfFameLines
{

QStringList defaultLines()
{
    QStringList lines { QStringLiteral("[Tilvane]") };
    for (int place = 1; place < EntryCount; ++place)
        lines.append(QStringLiteral("No%1 Fred%1 Time 00:00:00 Trys 999").arg(place));
    return lines;
}

QStringList parseLines(QByteArrayView content)
{
    HallOfFameLineReader reader;
    reader.feed(content);
    return reader.finish();
}

QByteArray formatLines(const QStringList &entries)
{
    QByteArray content;
    for (const QString &entry : entries) {
        QByteArray line = entry.toUtf8();
        line.replace('\n', ' ');
        content += line + "\r\n";
    }
    return content;
}

bool isWholeFile(QByteArrayView content)
{
    return content.endsWith("\r\n") && content.count('\n') == EntryCount
        && content.count("\r\n") == EntryCount;
}

QString savedLine(const QString &line)
{
    return parseLines(formatLines({ line })).value(0);
}

QStringList withDefaults(const QStringList &entries)
{
    QStringList lines = entries.first(qMin(entries.size(), EntryCount));
    const QStringList defaults = defaultLines();
    while (lines.size() < EntryCount)
        lines.append(defaults.at(lines.size()));
    return lines;
}

QString sanitizedName(const QString &name)
{
    qsizetype length = qMin(name.size(), MaxNameLength);
    if (length < name.size() && name.at(length - 1).isHighSurrogate())
        --length;
    return shownLine(name.left(length));
}

QString shownLine(QString line)
{
    for (QChar &c : line) {
        const QChar::Category category = c.category();
        if (category == QChar::Other_Control || category == QChar::Separator_Line
            || category == QChar::Separator_Paragraph)
            c = u' ';
    }
    return line;
}

} // namespace HallOfFameLines
