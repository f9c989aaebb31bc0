// SPDX-License-Identifier: MIT
#include "boardaccessible.h"

#include "board.h"
#include "form1.h"
#include "tileaccessible.h"
#include "tilecover.h"
#include "twips.h"

#include <QLabel>

namespace
{

// A control a screen reader should not find: no name, no children, nothing
// to do, never visible nor enabled. The keyboard focus rests on one of them:
// a focus on an object with no state at all is one screen readers pass over.
class UnshownAccessible : public QAccessibleWidget
{
public:
    explicit UnshownAccessible(QWidget *widget)
        : QAccessibleWidget(widget, QAccessible::NoRole)
    {
    }
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

QList<QWidget *> BoardAccessible::shownControls() const
{
    const auto *form = static_cast<const Form1 *>(widget());
    const int side = form->profile().gridSide;
    QList<QWidget *> cells(form->profile().cellCount, nullptr);
    for (int i = 1; i < form->c1.size(); ++i) {
        const int cell = cellAtTwips(form->c1[i]->pos() * kTwipsPerPixel, side);
        if (cell >= 0 && !cells[cell])
            cells[cell] = form->c1[i];
    }
    cells.removeAll(nullptr);
    if (form->Label1)
        cells.append(form->Label1);
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

QAccessibleInterface *BoardAccessible::focusChild() const
{
    return nullptr;
}
