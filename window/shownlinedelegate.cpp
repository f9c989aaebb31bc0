// SPDX-License-Identifier: MIT
#include "shownlinedelegate.h"

#include "halloffamelines.h"

QString ShownLineDelegate::displayText(const QVariant &value, const QLocale &locale) const
{
    return HallOfFameLines::shownLine(QStyledItemDelegate::displayText(value, locale));
}
