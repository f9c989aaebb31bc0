// SPDX-License-Identifier: MIT
#include "boxtext.h"

#include <algorithm>
#include <QFontMetricsF>
#include <QList>
#include <QTextBoundaryFinder>
#include <QTextLayout>

namespace
{

constexpr qsizetype kTailGraphemes = 24;
// A letter under thousands of marks is one grapheme; it gives way like a line.
constexpr qsizetype kLongestGrapheme = 32;
// Qt 6.4 measures an emoji the font joins from several characters (a flag, a
// skin tone, a family) by decoding its picture anew each time a box lays its
// text out, a few dozen times before the box shows. Past this many the box
// would take more than a second to appear.
constexpr int kJoinedEmojiPerBox = 64;
const QChar kEllipsis(0x2026);
const QChar kZeroWidthSpace(0x200B);

// Where the graphemes of `text` begin, scanning at most `count` of them from
// its start, or from its end; the far end of the last one closes the list.
QList<qsizetype> boundaries(const QString &text, qsizetype count, bool fromEnd)
{
    const qsizetype span = qMin(text.size(), (count + 1) * kLongestGrapheme);
    const qsizetype offset = fromEnd ? text.size() - span : 0;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, QStringView(text).mid(offset, span));
    if (fromEnd)
        finder.toEnd();
    const qsizetype step = fromEnd ? -kLongestGrapheme : kLongestGrapheme;
    qsizetype at = finder.position();
    QList<qsizetype> found { offset + at };
    while (found.size() <= count) {
        const qsizetype next = fromEnd ? finder.toPreviousBoundary() : finder.toNextBoundary();
        if (next < 0)
            break;
        while (qAbs(next - at) > kLongestGrapheme && found.size() <= count) {
            at += step;
            if (text[offset + at].isLowSurrogate())
                --at;
            found.append(offset + at);
        }
        at = next;
        found.append(offset + at);
    }
    if (fromEnd)
        std::reverse(found.begin(), found.end());
    return found;
}

bool isJoinedEmoji(QStringView grapheme)
{
    const QList<uint> characters = grapheme.toUcs4();
    return std::any_of(characters.cbegin(), characters.cend(), [](uint c) {
        return (c >= 0x1F1E6 && c <= 0x1F1FF) // regional indicators: flags
            || (c >= 0x1F3FB && c <= 0x1F3FF) // skin tones
            || c == 0x200D || c == 0x20E3 // joiner, keycap
            || (c >= 0xE0020 && c <= 0xE007F); // tags: subdivision flags
    });
}

// A line, of at most `most` graphemes, and what it takes to cut it.
struct Line {
    QString text;
    QList<qsizetype> starts; // where each grapheme begins, then the end
    QList<int> joinedBefore; // joined emoji before each of those positions

    Line(const QString &line, qsizetype most);
    qsizetype tailStart() const { return starts.size() - 1 - kTailGraphemes; }
    bool canBeCut() const { return tailStart() > 0; }
    // The first `head` graphemes, an ellipsis and the tail.
    QString cut(qsizetype head) const
    {
        return text.left(starts[head]) + kEllipsis + text.mid(starts[tailStart()]);
    }
    int joinedEmoji() const { return joinedBefore.last(); }
    int joinedEmojiWhenCut(qsizetype head) const
    {
        return joinedBefore[head] + joinedEmoji() - joinedBefore[tailStart()];
    }
};

Line::Line(const QString &line, qsizetype most)
    : text(line)
    , starts(boundaries(line, most, false))
{
    if (starts.last() != line.size()) {
        const qsizetype tail = boundaries(line, kTailGraphemes, true).first();
        text = line.left(starts[most - kTailGraphemes - 1]) + kEllipsis + line.mid(tail);
        starts = boundaries(text, most, false);
    }
    joinedBefore = { 0 };
    for (qsizetype i = 1; i < starts.size(); ++i) {
        const QStringView grapheme
            = QStringView(text).mid(starts[i - 1], starts[i] - starts[i - 1]);
        joinedBefore.append(joinedBefore.last() + (isJoinedEmoji(grapheme) ? 1 : 0));
    }
}

// The most each demand may have for all of them to stay within the budget;
// what a small demand leaves is shared by the larger ones.
qreal fairShare(QList<qreal> demands, qreal budget)
{
    std::sort(demands.begin(), demands.end());
    for (qsizetype i = 0; i < demands.size(); ++i) {
        const qsizetype left = demands.size() - i;
        if (demands[i] * left > budget)
            return budget / left;
        budget -= demands[i];
    }
    return budget + demands.value(demands.size() - 1);
}

// A word wider than the box would stand out of it, cut off at its edge:
// Qt's own remedy, wrapping anywhere, sizes the box for the word whole. So
// such a word gets an invisible break opportunity between its graphemes.
QString breakableWords(const QString &text, const QFont &font, qreal width)
{
    QTextLayout layout(text, font);
    QString broken;
    qsizetype done = 0;
    layout.beginLayout();
    for (QTextLine row = layout.createLine(); row.isValid(); row = layout.createLine()) {
        row.setLineWidth(width);
        if (row.naturalTextWidth() <= width)
            continue;
        const qsizetype end = row.textStart() + row.textLength();
        broken += QStringView(text).mid(done, row.textStart() - done);
        const QList<qsizetype> starts
            = boundaries(text.mid(row.textStart(), row.textLength()), row.textLength(), false);
        for (qsizetype i = 1; i < starts.size(); ++i) {
            const QStringView grapheme
                = QStringView(text).mid(row.textStart() + starts[i - 1], starts[i] - starts[i - 1]);
            if (i > 1 && !grapheme[0].isSpace() && !broken.back().isSpace())
                broken += kZeroWidthSpace;
            broken += grapheme;
        }
        done = end;
    }
    layout.endLayout();
    return done == 0 ? text : broken + text.mid(done);
}

// How tall `text` stands when wrapped at `width`, as a message box wraps it.
qreal heightOf(const QString &text, const QFont &font, qreal width)
{
    QTextLayout layout(text, font);
    layout.beginLayout();
    qreal height = 0;
    for (QTextLine row = layout.createLine(); row.isValid(); row = layout.createLine()) {
        row.setLeadingIncluded(true);
        row.setLineWidth(width);
        height += row.height();
    }
    layout.endLayout();
    return qMax(height, QFontMetricsF(font).lineSpacing());
}

// The longest cut of `line` no taller than `height`; the shortest if none is.
QString cutToHeight(const Line &line, const QFont &font, qreal width, qreal height)
{
    qsizetype fits = 0;
    qsizetype tooTall = line.tailStart();
    while (tooTall - fits > 1) {
        const qsizetype head = (fits + tooTall) / 2;
        (heightOf(line.cut(head), font, width) <= height ? fits : tooTall) = head;
    }
    return line.cut(fits);
}

} // namespace

QStringList linesFittedTo(const QStringList &texts, const QFont &font, QSizeF area)
{
    const QFontMetricsF metrics(font);
    // No line could show more graphemes than the area holds of the narrowest.
    const qsizetype most = qMax(kTailGraphemes + 2,
        qsizetype(4 * area.width() / metrics.averageCharWidth())
            * qsizetype(area.height() / metrics.lineSpacing()));
    QList<Line> lines;
    QList<qreal> joined;
    for (const QString &text : texts) {
        lines.append(Line(text, most));
        joined.append(lines.last().joinedEmoji());
    }
    const qreal joinedShare = fairShare(joined, kJoinedEmojiPerBox);
    QList<qreal> heights;
    for (Line &line : lines) {
        QString text = line.text;
        if (line.joinedEmoji() > joinedShare && line.canBeCut()) {
            qsizetype head = line.tailStart() - 1;
            while (head > 0 && line.joinedEmojiWhenCut(head) > joinedShare)
                --head;
            text = line.cut(head);
        }
        line = Line(breakableWords(text, font, area.width()), 2 * most);
        heights.append(heightOf(line.text, font, area.width()));
    }

    const qreal heightShare = qMax(fairShare(heights, area.height()), metrics.lineSpacing());
    QStringList fitted;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        fitted.append(heights[i] > heightShare && lines[i].canBeCut()
                ? cutToHeight(lines[i], font, area.width(), heightShare)
                : lines[i].text);
    }
    return fitted;
}
