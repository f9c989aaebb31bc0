// SPDX-License-Identifier: MIT
#pragma once

#include <QStyledItemDelegate>

// Draws a list's entries as the player sees a Hall-of-Fame line: a control
// character read from the file is shown as a space and never laid out, while
// the entry itself keeps it.
class ShownLineDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QString displayText(const QVariant &value, const QLocale &locale) const override;
};
