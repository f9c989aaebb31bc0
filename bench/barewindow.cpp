// SPDX-License-Identifier: MIT
// The least a window like the 10x10 board costs in Qt: the same size and
// colours, a hundred white tiles, nothing else. It ends after its first
// painted frame, like the tilvane-firstframe programs.
#include "firstframequit.h"

#include <QApplication>
#include <QLabel>
#include <QWidget>

namespace
{

void paintWith(QWidget *widget, const QColor &colour)
{
    widget->setAutoFillBackground(true);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setFixedSize(486, 488);
    paintWith(&window, QColor(192, 192, 192));
    for (int row = 0; row < 10; ++row) {
        for (int col = 0; col < 10; ++col) {
            auto *tile = new QLabel(&window);
            tile->setGeometry(8 + 48 * col, 8 + 48 * row, 40, 40);
            paintWith(tile, Qt::white);
        }
    }
    new FirstFrameQuit(&window);
    window.show();
    return app.exec();
}
