// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QPixmap>
#include <QWidget>

// The picture of a tile, stretched over its cover. When shown it lies above
// the cover and takes the clicks on the tile, doing nothing with them: that
// is what makes a face-up tile ignore clicks.
class TileFace : public QWidget
{
public:
    explicit TileFace(QWidget *parent);

    void setPicture(const QImage &picture);
    // One of the built-in pictures, decoded only when first needed: at
    // start-up the first deal replaces most of them unseen.
    void setBuiltinPicture(int number);
    QImage picture() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QImage m_picture;
    int m_builtinPicture = 0;
    // Scaled to the tile's device pixels on first paint, not when a deal
    // loads the picture: most faces of a deal are never seen before the next.
    QPixmap m_scaled;
};
