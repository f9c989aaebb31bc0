// SPDX-License-Identifier: MIT
#include "yesnobox.h"

#include <QCloseEvent>
#include <QKeyEvent>

YesNoBox::YesNoBox(Icon icon, const QString &title, const QString &text, QWidget *parent)
    : QMessageBox(icon, title, text, QMessageBox::Yes | QMessageBox::No, parent)
{
    // A message box always asks for a close button; this one has a title bar
    // and nothing else.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint
        | Qt::WindowTitleHint);
}

void YesNoBox::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QMessageBox::keyPressEvent(event);
}

void YesNoBox::closeEvent(QCloseEvent *event)
{
    if (!clickedButton()) {
        event->ignore();
        return;
    }
    QMessageBox::closeEvent(event);
}
