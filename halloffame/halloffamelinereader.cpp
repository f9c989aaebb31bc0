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

// Not UTF-8: a line in the system's 8-bit code page, as the first versions
// of the game wrote it (the ANSI code page on Windows, Latin-1 elsewhere).
QString eightBit(QByteArrayView bytes)
{
#ifdef Q_OS_WIN
    return QString::fromLocal8Bit(bytes);
#else
    return QString::fromLatin1(bytes);
#endif
}

QString decoded(QByteArrayView bytes, bool cut)
{
    QStringDecoder utf8(QStringDecoder::Utf8,
        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    const QString text = utf8.decode(cut ? withoutSplitCharacter(bytes) : bytes);
    if (!utf8.hasError())
        return text;
    // Saved again as UTF-8, a character above ASCII takes two bytes or more:
    // keep only the whole characters that still fit the bound, so the line
    // reads back as it was saved.
    const QString wide = eightBit(bytes);
    qsizetype kept = 0;
    qsizetype savedSize = 0;
    while (kept < wide.size()) {
        const char32_t c = wide.at(kept).unicode();
        const bool pair = QChar::isHighSurrogate(c) && kept + 1 < wide.size();
        savedSize += pair ? 4 : c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
        if (savedSize > HallOfFameLineReader::MaxLineBytes)
            break;
        kept += pair ? 2 : 1;
    }
    return wide.first(kept);
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
