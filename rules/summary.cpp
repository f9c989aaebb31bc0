// SPDX-License-Identifier: MIT
#include "summary.h"

#include "gametime.h"

#include <algorithm>
#include <QList>
#include <QLocale>
#include <QTime>

namespace
{

// One piece of a Qt date-time format: a field ("HH", "AP", "t"), quoted text
// ("'kl'") or any other single character, which Qt prints as it stands.
struct Piece {
    enum Kind { Field, Quoted, Other };
    Kind kind;
    QString text;
};

QList<Piece> piecesOf(const QString &format)
{
    QList<Piece> pieces;
    for (qsizetype at = 0; at < format.size();) {
        const QChar c = format[at];
        qsizetype end = at + 1;
        Piece::Kind kind = Piece::Other;
        if (c == u'\'') {
            kind = Piece::Quoted;
            for (; end < format.size(); ++end) {
                if (format[end] != u'\'')
                    continue;
                if (end + 1 < format.size() && format[end + 1] == u'\'') {
                    ++end; // '' is a quote inside quoted text
                    continue;
                }
                ++end;
                break;
            }
        } else if (c.isLetter() && c.unicode() < 128) {
            kind = Piece::Field;
            while (end < format.size() && format[end] == c)
                ++end;
            if ((c == u'a' || c == u'A') && end < format.size() && format[end].toLower() == u'p')
                ++end;
        }
        pieces.append({ kind, format.mid(at, end - at) });
        at = end;
    }
    return pieces;
}

bool isDayPeriod(const Piece &piece)
{
    return piece.kind == Piece::Field && piece.text[0].toLower() == u'a';
}

// The fields Qt fills in for a time of day; a zone is one of them, but not
// of the game's times.
bool isTimeField(const Piece &piece)
{
    return piece.kind == Piece::Field
        && (QStringLiteral("hHmsz").contains(piece.text[0]) || isDayPeriod(piece));
}

bool isSeparator(const Piece &piece)
{
    if (piece.kind != Piece::Other)
        return false;
    const QChar c = piece.text[0];
    return c.isSpace()
        || (c.isPunct() && c.category() != QChar::Punctuation_Open
            && c.category() != QChar::Punctuation_Close);
}

bool isWord(const Piece &piece)
{
    return piece.kind == Piece::Quoted || (piece.kind == Piece::Other && piece.text[0].isLetter());
}

bool isSpace(const Piece &piece)
{
    return piece.kind == Piece::Other && piece.text[0].isSpace();
}

bool bracketsClose(const Piece &open, const Piece &close)
{
    const qsizetype kind = QStringLiteral("([（［").indexOf(open.text);
    return open.kind == Piece::Other && close.kind == Piece::Other && kind >= 0
        && kind == QStringLiteral(")]）］").indexOf(close.text);
}

// Takes the piece at `at` out with what belonged to it: the brackets around
// it, and the spaces and punctuation that set it apart from its neighbour.
void removeWithSurroundings(QList<Piece> &pieces, qsizetype at)
{
    pieces.removeAt(at);
    qsizetype open = at - 1;
    qsizetype close = at;
    while (open >= 0 && isSpace(pieces[open]))
        --open;
    while (close < pieces.size() && isSpace(pieces[close]))
        ++close;
    if (open >= 0 && close < pieces.size() && bracketsClose(pieces[open], pieces[close])) {
        pieces.remove(open, close - open + 1);
        at = open;
    }
    qsizetype start = at;
    qsizetype end = at;
    while (start > 0 && isSeparator(pieces[start - 1]))
        --start;
    while (end < pieces.size() && isSeparator(pieces[end]))
        ++end;
    // The full stop of an abbreviation ("ч.") stays with its word.
    if (start > 0 && start < at && isWord(pieces[start - 1]) && pieces[start].text == u'.')
        ++start;
    const bool atAnEnd = start == 0 || end == pieces.size();
    pieces.remove(start, (atAnEnd ? end : at) - start);
}

} // namespace

QString timeOfDayFormat(const QLocale &locale)
{
    QList<Piece> pieces = piecesOf(locale.timeFormat(QLocale::LongFormat));
    const bool hasDayPeriod = std::any_of(pieces.cbegin(), pieces.cend(), isDayPeriod);
    for (qsizetype at = 0; at < pieces.size();) {
        Piece &piece = pieces[at];
        if (piece.kind != Piece::Field || isTimeField(piece)) {
            ++at;
        } else if (piece.text[0].toLower() == u'b' && !hasDayPeriod) {
            // A day period ("in the afternoon") that Qt does not know as a
            // field: its own stands in for it.
            piece.text = QStringLiteral("AP");
        } else {
            removeWithSurroundings(pieces, at);
            at = 0;
        }
    }
    QString format;
    for (const Piece &piece : pieces)
        format += piece.text;
    return format;
}

QString timeOfDayText(const QLocale &locale, int secondsOfDay)
{
    return locale.toString(
        QTime::fromMSecsSinceStartOfDay(secondsOfDay * 1000), timeOfDayFormat(locale));
}

QString summaryText(
    const QLocale &locale, int startTime, int timeNow, int elapsedTime, double tries)
{
    return QStringLiteral("Time Started ") + timeOfDayText(locale, startTime)
        + QStringLiteral(" End Time ") + timeOfDayText(locale, timeNow) + QStringLiteral("\r\n")
        + QStringLiteral("Total Time Playing For ") + formatHms(elapsedTime)
        + QStringLiteral(" With ") + QString::number(static_cast<qint64>(tries))
        + QStringLiteral(" Trys");
}
