// SPDX-License-Identifier: MIT
// The least a window like the 10x10 board costs in Qt: the same size and
// colours, a hundred white tiles, a hundred hidden faces holding the pictures
// of fifty icon files from the Icons folder beside it, and the footer line.
// It ends after its first painted frame, like the tilvane-firstframe programs.
#include "firstframequit.h"

#include <QApplication>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QWidget>

namespace
{

constexpr int kPairs = 50;
constexpr int kTileSide = 40;

void paintWith(QWidget *widget, const QColor &colour)
{
    widget->setAutoFillBackground(true);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
}

// Entry 1 of a pool icon is its 48 x 48 picture, the smallest that covers
// a tile.
QImage tilePicture(const QString &path)
{
    QImageReader reader(path, "ico");
    reader.jumpToImage(1);
    return reader.read();
}

class Face : public QWidget
{
public:
    Face(const QImage &picture, QWidget *parent)
        : QWidget(parent)
        , m_picture(picture)
    {
    }

private:
    QImage m_picture;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setFixedSize(486, 488);
    paintWith(&window, QColor(192, 192, 192));
    const QString icons = QCoreApplication::applicationDirPath() + QStringLiteral("/Icons/");
    QList<QImage> pictures;
    for (int pair = 1; pair <= kPairs; ++pair)
        pictures.append(tilePicture(icons + QStringLiteral("(%1).ico").arg(pair)));
    for (int row = 0; row < 10; ++row) {
        for (int col = 0; col < 10; ++col) {
            const QRect cell(8 + 48 * col, 8 + 48 * row, kTileSide, kTileSide);
            auto *tile = new QLabel(&window);
            tile->setGeometry(cell);
            paintWith(tile, Qt::white);
            auto *face = new Face(pictures[(10 * row + col) % kPairs], &window);
            face->setGeometry(cell);
            face->hide();
        }
    }
    auto *footer = new QLabel(
        QStringLiteral("  Find the pairs: turn two tiles at a time, as few times as you can."),
        &window);
    footer->setGeometry(-8, 483, 489, 17);
    new FirstFrameQuit(&window);
    window.show();
    return app.exec();
}
