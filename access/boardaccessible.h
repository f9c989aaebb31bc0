// SPDX-License-Identifier: MIT
#pragma once

#include <QAccessibleWidget>

class Form1;

// The game window as a screen reader finds it: a window with the tiles on
// the board in row order (see TileAccessible), then the footer line, and the
// state of the game in its description ("12 tries, 5 of 8 pairs found"). The
// controls that only hold the game's data, and the faces, which the tiles
// speak for, are not among its children and show nothing of themselves.
class BoardAccessible : public QAccessibleWidget
{
public:
    explicit BoardAccessible(Form1 *form);

    // Gives the game window and its controls these interfaces from now on;
    // the program calls it before its window is first named.
    static void install();

    QString text(QAccessible::Text t) const override;
    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *focusChild() const override;

private:
    const Form1 *form() const;
    QList<QWidget *> shownControls() const;
};
