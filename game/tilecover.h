// SPDX-License-Identifier: MIT
#pragma once

#include <QLabel>

// The white cover of a tile. It reports a click, press and release of the
// left button on the cover, with its index.
class TileCover : public QLabel
{
    Q_OBJECT
public:
    TileCover(qint16 index, QWidget *parent);

Q_SIGNALS:
    void clicked(qint16 index);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    qint16 m_index;
    bool m_pressed = false;
};
