// SPDX-License-Identifier: MIT
#include "tileaccessible.h"

#include "board.h"
#include "form1.h"
#include "iconpicture.h"
#include "tilecover.h"
#include "tileface.h"
#include "twips.h"

TileAccessible::TileAccessible(TileCover *cover)
    : QAccessibleWidget(cover, QAccessible::Button)
{
    m_renamed = QObject::connect(cover, &TileCover::renamed, cover, [cover] { announce(cover); });
}

TileAccessible::~TileAccessible()
{
    QObject::disconnect(m_renamed);
}

// A screen reader hears the new name at once only on the tile that has the
// focus, and Orca only from a focus event: it passes over a name change, and
// over a focus event for the object it already has, so the focused tile
// comes back as a new object. The window's description follows the game.
void TileAccessible::announce(TileCover *cover)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleEvent renamed(cover, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&renamed);
    if (cover->hasFocus()) {
        QAccessible::deleteAccessibleInterface(
            QAccessible::uniqueId(QAccessible::queryAccessibleInterface(cover)));
        QAccessibleEvent focus(cover, QAccessible::Focus);
        QAccessible::updateAccessibility(&focus);
    }
    QAccessibleEvent progress(cover->parentWidget(), QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&progress);
}

TileCover *TileAccessible::cover() const
{
    return static_cast<TileCover *>(widget());
}

QString TileAccessible::text(QAccessible::Text t) const
{
    switch (t) {
    case QAccessible::Name:
        return name();
    case QAccessible::Description:
        return position();
    default:
        return {};
    }
}

QString TileAccessible::name() const
{
    const TileFace *face = cover()->face();
    if (!face || face->isHidden())
        return QStringLiteral("face down");
    QString name = pictureName(face->picture());
    if (name.isEmpty())
        name = QStringLiteral("picture");
    const auto *form = qobject_cast<const Form1 *>(cover()->parentWidget());
    if (form && !form->gameState.inAttempt(cover()->index()))
        name += QStringLiteral(", found");
    return name;
}

QString TileAccessible::position() const
{
    const auto *form = qobject_cast<const Form1 *>(cover()->parentWidget());
    if (!form)
        return {};
    const int side = form->profile().gridSide;
    const int cell = cellAtTwips(cover()->pos() * kTwipsPerPixel, side);
    if (cell < 0)
        return {};
    return QStringLiteral("row %1, column %2").arg(cell / side + 1).arg(cell % side + 1);
}

QStringList TileAccessible::actionNames() const
{
    return { pressAction() };
}

// The press returns at once and the click runs just after: the end of a game
// opens modal boxes inside the click, which would keep the screen reader
// waiting for its press to return until they are answered.
void TileAccessible::doAction(const QString &actionName)
{
    if (actionName == pressAction())
        QMetaObject::invokeMethod(cover(), &TileCover::press, Qt::QueuedConnection);
}
