// SPDX-License-Identifier: MIT
#include "poollist.h"

#include <QFile>

namespace
{

// "1F431" or "2602+FE0F" as a string, or a null string when malformed.
QString sequenceText(const QString &codePoints)
{
    QString text;
    for (const QString &part : codePoints.split(u'+')) {
        bool ok = false;
        const uint value = part.toUInt(&ok, 16);
        if (!ok || part.size() < 4 || value > 0x10ffff || (value >= 0xd800 && value <= 0xdfff))
            return {};
        const char32_t codePoint = value;
        text += QString::fromUcs4(&codePoint, 1);
    }
    return text;
}

} // namespace

bool PoolList::read(const QString &path)
{
    m_entries.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        m_error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    int lineNumber = 0;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        ++lineNumber;
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (!parseLine(line, lineNumber)) {
            m_error = path + u':' + m_error;
            return false;
        }
    }
    if (m_entries.size() != kPoolPictureCount) {
        m_error = QStringLiteral("%1: %2 pictures, not %3")
                      .arg(path)
                      .arg(m_entries.size())
                      .arg(kPoolPictureCount);
        return false;
    }
    return true;
}

bool PoolList::parseLine(const QString &line, int lineNumber)
{
    const QStringList fields = line.split(u' ', Qt::SkipEmptyParts);
    if (fields.size() < 3)
        return fail(lineNumber, QStringLiteral("want NUMBER CODEPOINTS NAME"));
    PoolEntry entry;
    entry.number = fields[0].toInt();
    if (entry.number != m_entries.size() + 1)
        return fail(lineNumber, QStringLiteral("number %1 out of order").arg(fields[0]));
    entry.text = sequenceText(fields[1]);
    if (entry.text.isNull())
        return fail(lineNumber, QStringLiteral("bad code points %1").arg(fields[1]));
    for (const PoolEntry &earlier : std::as_const(m_entries))
        if (earlier.text == entry.text)
            return fail(lineNumber, QStringLiteral("same as picture %1").arg(earlier.number));
    entry.name = fields.mid(2).join(u' ');
    m_entries << entry;
    return true;
}

bool PoolList::fail(int lineNumber, const QString &what)
{
    m_error = QStringLiteral("%1: %2").arg(lineNumber).arg(what);
    return false;
}
