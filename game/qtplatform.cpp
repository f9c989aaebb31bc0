// SPDX-License-Identifier: MIT
#include "qtplatform.h"

#include "twips.h"
#include "yesnobox.h"

#include <cstdio>
#include <cstdlib>
#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QRandomGenerator>
#include <QScreen>

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

// The game's texts break lines with CR LF; a label wants LF alone.
QString displayText(QString text)
{
    return text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

} // namespace

QtPlatform::QtPlatform()
    : m_random(QRandomGenerator::system()->generate64())
{
}

QDateTime QtPlatform::currentDateTime()
{
    return QDateTime::currentDateTime();
}

float QtPlatform::timer()
{
    return static_cast<float>(QTime::currentTime().msecsSinceStartOfDay() / 1000.0);
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
        YesNoBox box(toQt(icon), title, displayText(text), QApplication::activeWindow());
        box.setTextFormat(Qt::PlainText);
        return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
    }
    QMessageBox box(
        toQt(icon), title, displayText(text), QMessageBox::Ok, QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
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
    return folder;
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
