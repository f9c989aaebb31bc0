// SPDX-License-Identifier: MIT
#pragma once

#include <QMessageBox>

// A question box that only Yes or No can answer. A box with Yes and No has no
// Cancel: its title bar offers no close button where the window system lets
// it, and Escape or a close request leave it standing, where a plain message
// box would take them for No.
class YesNoBox : public QMessageBox
{
    Q_OBJECT
public:
    YesNoBox(Icon icon, const QString &title, const QString &text, QWidget *parent);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
};
