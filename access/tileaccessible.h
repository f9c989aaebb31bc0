// SPDX-License-Identifier: MIT
#pragma once

#include <QAccessibleWidget>

class TileCover;

// A tile as a screen reader finds it: a button named after what it shows,
// "face down", the name of its picture ("cat"), or "cat, found" once its pair
// is found; its row and column, counted from 1, in its description. Pressing
// it does what a click on the tile does, just after the press returns.
class TileAccessible : public QAccessibleWidget
{
public:
    explicit TileAccessible(TileCover *cover);
    ~TileAccessible() override;

    QString text(QAccessible::Text t) const override;
    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;

private:
    static void announce(TileCover *cover);
    TileCover *cover() const;
    QString name() const;
    QString position() const;

    QMetaObject::Connection m_renamed;
};
