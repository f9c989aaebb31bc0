// SPDX-License-Identifier: MIT
#include "halloffamelinereader.h"

#include <QStringDecoder>

namespace
{

// Room for one byte more than a line may keep: the CR of a CR LF that
// follows a line of exactly MaxLineBytes.
constexpr qsizetype Room = HallOfFameLineReader::MaxLineBytes + 1;

// A cut can split the last character in two; without that broken tail the
// line may still be valid UTF-8.
QByteArrayView withoutSplitCharacter(QByteArrayView bytes)
{
    for (qsizetype back = 1; back <= 4 && back <= bytes.size(); ++back) {
        const auto byte = uchar(bytes[bytes.size() - back]);
        if ((byte & 0xC0) == 0x80)
            continue;
        const qsizetype length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        return length > back ? bytes.first(bytes.size() - back) : bytes;
    }
    return bytes;
}

QString decoded(QByteArrayView bytes, bool cut)
{
    QStringDecoder utf8(QStringDecoder::Utf8,
        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    const QString text = utf8.decode(cut ? withoutSplitCharacter(bytes) : bytes);
    if (!utf8.hasError())
        return text;
    // Saved again as UTF-8, every character above ASCII takes two bytes: keep
    // only what still fits the bound, so the line reads back as it was saved.
    qsizetype kept = 0;
    qsizetype savedSize = 0;
    for (const char byte : bytes) {
        savedSize += uchar(byte) < 0x80 ? 1 : 2;
        if (savedSize > HallOfFameLineReader::MaxLineBytes)
            break;
        ++kept;
    }
    return QString::fromLatin1(bytes.first(kept));
}

} // namespace

bool HallOfFameLineReader::feed(QByteArrayView bytes)
{
    bytes = bytes.first(qMin(bytes.size(), m_bytesLeft));
    m_bytesLeft -= bytes.size();
    while (!bytes.isEmpty() && m_lines.size() < MaxLines) {
        const qsizetype lineFeed = bytes.indexOf('\n');
        const QByteArrayView part = lineFeed < 0 ? bytes : bytes.first(lineFeed);
        const qsizetype kept = qMin(part.size(), Room - m_line.size());
        m_line.append(part.first(kept));
        m_lineCut = m_lineCut || kept < part.size();
        m_lineStarted = true;
        if (lineFeed < 0)
            break;
        endLine(true);
        bytes = bytes.sliced(lineFeed + 1);
    }
    return m_lines.size() < MaxLines && m_bytesLeft > 0;
}

QStringList HallOfFameLineReader::finish()
{
    if (m_lineStarted && m_lines.size() < MaxLines)
        endLine(false);
    return m_lines;
}

void HallOfFameLineReader::endLine(bool atLineFeed)
{
    if (atLineFeed && !m_lineCut && m_line.endsWith('\r'))
        m_line.chop(1);
    const bool cut = m_line.size() > MaxLineBytes;
    m_lines.append(decoded(QByteArrayView(m_line).first(qMin(m_line.size(), MaxLineBytes)), cut));
    m_line.clear();
    m_lineStarted = false;
    m_lineCut = false;
}
