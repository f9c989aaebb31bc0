// SPDX-License-Identifier: MIT
#include "boardaccessible.h"

#include "boardfocus.h"
#include "form1.h"
#include "tileaccessible.h"
#include "tilecover.h"

#include <QLabel>

namespace
{

// A control a screen reader should not find: no name, no children, nothing
// to do, never visible nor enabled. Being no valid object, it sends no event
// either: the text box's caret and the lists' entries move at every deal, and
// out of play the keyboard focus rests on the text box.
class UnshownAccessible : public QAccessibleWidget
{
public:
    explicit UnshownAccessible(QWidget *widget)
        : QAccessibleWidget(widget, QAccessible::NoRole)
    {
    }
    bool isValid() const override { return false; }
    QString text(QAccessible::Text) const override { return {}; }
    int childCount() const override { return 0; }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.disabled = true;
        state.invisible = true;
        state.offscreen = true;
        return state;
    }
    void *interface_cast(QAccessible::InterfaceType) override { return nullptr; }
};

// Decided on the most derived class alone: the footer, a plain label, keeps
// the interface Qt gives it, and so do the boxes the window owns.
QAccessibleInterface *gameWindowPart(const QString &className, QObject *object)
{
    if (className != QLatin1String(object->metaObject()->className()))
        return nullptr;
    if (auto *form = qobject_cast<Form1 *>(object))
        return new BoardAccessible(form);
    if (!object->isWidgetType() || static_cast<QWidget *>(object)->isWindow()
        || !qobject_cast<Form1 *>(object->parent())) {
        return nullptr;
    }
    if (auto *cover = qobject_cast<TileCover *>(object))
        return new TileAccessible(cover);
    if (qobject_cast<QLabel *>(object))
        return nullptr;
    return new UnshownAccessible(static_cast<QWidget *>(object));
}

} // namespace

BoardAccessible::BoardAccessible(Form1 *form)
    : QAccessibleWidget(form, QAccessible::Window)
{
}

void BoardAccessible::install()
{
    QAccessible::installFactory(gameWindowPart);
}

const Form1 *BoardAccessible::form() const
{
    return static_cast<const Form1 *>(widget());
}

QString BoardAccessible::text(QAccessible::Text t) const
{
    if (t != QAccessible::Description)
        return QAccessibleWidget::text(t);
    const GameState &game = form()->gameState;
    return progressText(game.tries(), game.pairsFound, form()->profile().pairCount);
}

QList<QWidget *> BoardAccessible::shownControls() const
{
    QList<QWidget *> cells;
    for (TileCover *tile : form()->tilesByCell()) {
        if (tile)
            cells.append(tile);
    }
    if (form()->Label1)
        cells.append(form()->Label1);
    return cells;
}

int BoardAccessible::childCount() const
{
    return int(shownControls().size());
}

QAccessibleInterface *BoardAccessible::child(int index) const
{
    const QList<QWidget *> controls = shownControls();
    if (index < 0 || index >= controls.size())
        return nullptr;
    return QAccessible::queryAccessibleInterface(controls[index]);
}

int BoardAccessible::indexOfChild(const QAccessibleInterface *child) const
{
    if (!child)
        return -1;
    return int(shownControls().indexOf(qobject_cast<QWidget *>(child->object())));
}

// The tiles are the only controls that show the keyboard focus.
QAccessibleInterface *BoardAccessible::focusChild() const
{
    auto *tile = qobject_cast<TileCover *>(form()->focusWidget());
    if (!form()->keyboardPlay() || !tile)
        return nullptr;
    return QAccessible::queryAccessibleInterface(tile);
}
