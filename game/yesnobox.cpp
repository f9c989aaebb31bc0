// SPDX-License-Identifier: MIT
#include "yesnobox.h"

#include <QCloseEvent>
#include <QKeyEvent>

YesNoBox::YesNoBox(Icon icon, const QString &title, const QString &text, QWidget *parent)
    : QMessageBox(icon, title, text, QMessageBox::Yes | QMessageBox::No, parent)
{
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
