// Draws every registered icon at 24 and 48 px on a dark and a light background,
// recoloured as the toolkit would, into one PNG for a person to look at.
// Usage: keldar-icons-contact-sheet <output.png>

#include "IconTestSupport.h"

#include <keldar/icons/Icons.h>

#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>

using namespace Keldar::Icons::Testing;

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    KD_Icons_initialise();
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <output.png>\n", argv[0]);
        return 2;
    }
    const QStringList paths = registeredSvgPaths();
    const int cell = 64;
    const int labelWidth = 260;
    const QColor darkBackground(0x1d, 0x23, 0x2b), darkInk(0xe8, 0xee, 0xf2), darkAccent(0x3d, 0xc2, 0xd6);
    const QColor lightBackground(0xf4, 0xf5, 0xf7), lightInk(0x22, 0x28, 0x30), lightAccent(0x0b, 0x6e, 0xa8);
    QImage sheet(labelWidth + cell * 6, cell * int(paths.size()), QImage::Format_ARGB32);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    for (int row = 0; row < paths.size(); ++row) {
        const QByteArray source = readResource(paths[row]);
        const int y = row * cell;
        painter.setPen(Qt::black);
        painter.drawText(QRect(4, y, labelWidth - 8, cell), Qt::AlignVCenter,
                         paths[row].mid(int(qstrlen(":/keldar-icons/"))));
        struct Variant
        {
            QColor background, ink;
            int size;
        };
        const Variant variants[] = {{darkBackground, darkInk, 24},    {darkBackground, darkInk, 48},
                                    {darkBackground, darkAccent, 48}, {lightBackground, lightInk, 24},
                                    {lightBackground, lightInk, 48},  {lightBackground, lightAccent, 48}};
        for (int column = 0; column < 6; ++column) {
            const Variant& v = variants[column];
            const QRect box(labelWidth + column * cell, y, cell, cell);
            painter.fillRect(box, v.background);
            const QImage icon = render(recolour(source, v.ink, v.ink), v.size);
            painter.drawImage(box.x() + (cell - v.size) / 2, box.y() + (cell - v.size) / 2, icon);
        }
    }
    painter.end();
    return sheet.save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
