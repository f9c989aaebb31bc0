// SPDX-License-Identifier: MIT
#include "qtplatform.h"

#include "twips.h"
#include "yesnobox.h"

#include <cstdio>
#include <cstdlib>
#include <QApplication>
#include <QDir>
#include <QInputDialog>
#include <QMessageBox>
#include <QRandomGenerator>
#include <QScreen>
#include <QTextBoundaryFinder>

namespace
{

QMessageBox::Icon toQt(Platform::Icon icon)
{
    switch (icon) {
    case Platform::Icon::Information:
        return QMessageBox::Information;
    case Platform::Icon::Question:
        return QMessageBox::Question;
    case Platform::Icon::Critical:
        break;
    }
    return QMessageBox::Critical;
}

// What a line too wide for its box keeps: its start, at most this many
// graphemes of it, and its end, which in a Hall-of-Fame place is the time and
// the tries.
constexpr int kHeadGraphemes = 40;
constexpr int kTailGraphemes = 24;
// The widest line of a box, in average characters of its font.
constexpr int kLineChars = 64;

// The position `count` graphemes in from the start, or from the end, of `line`.
qsizetype graphemesIn(const QString &line, int count, bool fromEnd)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, line);
    if (fromEnd)
        finder.toEnd();
    qsizetype at = finder.position();
    for (int i = 0; i < count; ++i) {
        const qsizetype next = fromEnd ? finder.toPreviousBoundary() : finder.toNextBoundary();
        if (next < 0)
            break;
        at = next;
    }
    return at;
}

// A box lays its text out a few dozen times before it shows, and a line
// wider than the box wraps into as many lines as it takes: a Hall of Fame of
// thousand-character names, drawn from a colour emoji font, took seconds to
// appear and stood taller than the screen. So a line gives up the part of its
// middle that does not fit, before the box measures anything.
QString fittedLine(const QString &line, const QFontMetrics &metrics)
{
    const qsizetype tailStart = graphemesIn(line, kTailGraphemes, true);
    const qsizetype headEnd = graphemesIn(line, kHeadGraphemes, false);
    const bool cut = headEnd < tailStart;
    const QString head = line.left(qMin(headEnd, tailStart));
    const QString tail = line.mid(tailStart);
    const int width = kLineChars * metrics.averageCharWidth();
    const int headWidth = qMax(width - metrics.horizontalAdvance(tail), width / 4);
    if (!cut && metrics.horizontalAdvance(head) <= headWidth)
        return line;
    const QString shortened = cut ? head + QChar(0x2026) : head;
    return metrics.elidedText(shortened, Qt::ElideRight, headWidth) + tail;
}

// The game's texts break lines with CR LF; a label wants LF alone. Error
// messages are shown whole, paths and all.
void setBoxText(QMessageBox &box, const QString &text, Platform::Icon icon)
{
    QStringList lines = text.split(QLatin1String("\r\n"));
    if (icon != Platform::Icon::Critical) {
        for (QString &line : lines)
            line = fittedLine(line, box.fontMetrics());
    }
    box.setTextFormat(Qt::PlainText);
    box.setText(lines.join(u'\n'));
}

} // namespace

QtPlatform::QtPlatform()
    : m_random(QRandomGenerator::system()->generate64())
{
    m_steadyClock.start();
}

QDateTime QtPlatform::currentDateTime()
{
    return QDateTime::currentDateTime();
}

float QtPlatform::timer()
{
    return static_cast<float>(QTime::currentTime().msecsSinceStartOfDay() / 1000.0);
}

qint64 QtPlatform::steadyMilliseconds()
{
    return m_steadyClock.elapsed();
}

void QtPlatform::reseed(float timerValue)
{
    m_random.reseed(timerValue);
}

double QtPlatform::nextRandom()
{
    return m_random.next();
}

Platform::Answer QtPlatform::messageBox(
    const QString &text, Buttons buttons, Icon icon, const QString &title)
{
    if (buttons == Buttons::YesNo) {
        YesNoBox box(toQt(icon), title, QString(), QApplication::activeWindow());
        setBoxText(box, text, icon);
        return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
    }
    QMessageBox box(toQt(icon), title, QString(), QMessageBox::Ok, QApplication::activeWindow());
    setBoxText(box, text, icon);
    box.exec();
    return Answer::Ok;
}

QString QtPlatform::inputBox(const QString &prompt, const QString &title)
{
    bool accepted = false;
    const QString text = QInputDialog::getText(
        QApplication::activeWindow(), title, prompt, QLineEdit::Normal, QString(), &accepted);
    return accepted ? text : QString();
}

QString QtPlatform::programFolder()
{
    // Qt names no folder whose path is not valid UTF-8; the pictures and the
    // Hall of Fame must not then be looked for at the root.
    const QString folder = QCoreApplication::applicationDirPath();
    if (folder.isEmpty()) {
        reportFailure(QStringLiteral("The name of the folder that holds this program is not "
                                     "valid UTF-8 text. Move the program to a folder whose "
                                     "name is, and start it again."));
    }
    // C:\Games\Tilvane on Windows, as the paths built on it are spelt.
    return QDir::toNativeSeparators(folder);
}

QString QtPlatform::environmentVariable(const QString &name)
{
    return qEnvironmentVariable(name.toLocal8Bit().constData());
}

double QtPlatform::screenWidthTwips()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? double(screen->geometry().width()) * kTwipsPerPixel : 0.0;
}

void QtPlatform::endProgram(int status)
{
    // Nothing of the program may run after the end, not even the handlers
    // still queued behind this one.
    std::fflush(nullptr);
    std::_Exit(status);
}

void QtPlatform::reportFailure(const QString &message)
{
    std::fprintf(stderr, "%s\n", qPrintable(message));
    messageBox(message, Buttons::Ok, Icon::Critical, QCoreApplication::applicationName());
    QtPlatform::endProgram(1);
}
