#include "ProgramIcon.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

QIcon ProgramIcon()
{
    // Drawn here rather than through Qt's SVG icon plugin, which a machine may lack.
    QSvgRenderer renderer(QStringLiteral(":/quiltmap.svg"));
    QIcon icon;
    if (!renderer.isValid())
        return icon;
    for (const int side : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}
