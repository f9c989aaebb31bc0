// SPDX-License-Identifier: MIT
#include "qtplatform.h"

#include "boxtext.h"
#include "twips.h"
#include "yesnobox.h"

#include <cstdio>
#include <cstdlib>
#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QInputDialog>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QRandomGenerator>
#include <QScreen>
#include <QStyle>

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

// Where a box lays out its text on its screen, beside the icon and above the
// buttons, inside the window's frame. QMessageBox makes a box half the
// screen wide, up to 500 pixels, or wider for a long word.
QSizeF textArea(const QMessageBox &box, const QLabel &label)
{
    const QSize chrome = box.layout()->totalSizeHint() - label.sizeHint();
    const QSize screen = box.screen()->availableSize();
    const int frame = 2 * box.style()->pixelMetric(QStyle::PM_TitleBarHeight);
    return QSizeF(
        qMin(screen.width() / 2, 500) - chrome.width(), screen.height() - chrome.height() - frame);
}

// The game's texts break lines with CR LF; a label wants LF alone. A box
// shows its lines whole, unless the screen cannot hold them: then the longest
// give up their middles. A box lays its text out a few dozen times before it
// shows, so what cannot be seen is not handed to it. Error messages are shown
// whole, paths and all.
void setBoxText(QMessageBox &box, const QString &text, Platform::Icon icon)
{
    QStringList lines = text.split(QLatin1String("\r\n"));
    const auto *label = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
    if (icon != Platform::Icon::Critical && label)
        lines = linesFittedTo(lines, label->font(), textArea(box, *label));
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

void QtPlatform::showBusy(bool busy)
{
    if (busy)
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    else
        QGuiApplication::restoreOverrideCursor();
}

void QtPlatform::reportFailure(const QString &message)
{
    std::fprintf(stderr, "%s\n", qPrintable(message));
    messageBox(message, Buttons::Ok, Icon::Critical, QCoreApplication::applicationName());
    QtPlatform::endProgram(1);
}
