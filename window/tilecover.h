// SPDX-License-Identifier: MIT
#pragma once

#include <QLabel>

class TileFace;

// The white cover of a tile. It reports a click, press and release of the
// left button on the cover, with its index. To a screen reader it is the
// whole tile (see TileAccessible).
class TileCover : public QLabel
{
    Q_OBJECT
public:
    TileCover(qint16 index, QWidget *parent);

    qint16 index() const { return m_index; }
    // The face that lies above this cover when the tile is up. Showing or
    // hiding it renames the tile.
    void setFace(TileFace *face);
    const TileFace *face() const { return m_face; }

    // Does what a click in the middle of the tile does: reports a click,
    // unless the face lies above the cover or a modal box keeps clicks from
    // the window.
    void press();
    // Tells whoever speaks for the tile that its name changed.
    void announceName();
    // Where the frame that shows the keyboard focus on this tile lies, in the
    // window: round the tile, in the gap between it and its neighbours.
    QRect focusFrame() const;

Q_SIGNALS:
    void clicked(qint16 index);
    void renamed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    qint16 m_index;
    bool m_pressed = false;
    TileFace *m_face = nullptr;
};
