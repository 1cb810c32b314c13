#include "GridSquaresPainter.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainterPath>

namespace {

const QColor Dark(24, 24, 24);
const QColor Light(255, 255, 255, 180);
constexpr double EdgeWidth = 2;        // light edge each side together, pixels
constexpr int LabelPixels = 11;
constexpr double LabelInset = 3;       // from the corner, pixels

QPen LinePen(const QColor& colour, double width)
{
    return QPen(colour, width, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin);
}

}  // namespace

void DrawGridSquares(QPainter& painter, const GridSquares& grid, bool labels)
{
    if (!grid.Drawn)
        return;
    painter.save();
    // Whole pixels: a one-pixel line blended over two columns fades into the picture.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    // All light edges first, so that no edge covers a dark line where two lines cross.
    for (const bool dark : {false, true}) {
        for (const GridLine& line : grid.Lines) {
            const double width = 1 + int(grid.Finest) - int(line.Level);
            painter.setPen(dark ? LinePen(Dark, width) : LinePen(Light, width + EdgeWidth));
            painter.drawPolyline(line.Points);
        }
    }
    if (labels) {
        painter.setRenderHint(QPainter::Antialiasing, true);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setStyleHint(QFont::SansSerif);
        font.setPixelSize(LabelPixels);
        font.setBold(true);
        const double ascent = QFontMetricsF(font).ascent();
        for (const GridLabel& label : grid.Labels) {
            QPainterPath text;
            text.addText(label.Corner + QPointF(LabelInset, LabelInset + ascent), font, label.Locator);
            painter.strokePath(text, LinePen(Light, 3));
            painter.fillPath(text, Dark);
        }
    }
    painter.restore();
}

void DrawGridSquares(QPainter& painter, const QRectF& rect, const PixelMapping& mapping, bool labels)
{
    painter.save();
    painter.setClipRect(rect, Qt::IntersectClip);
    DrawGridSquares(painter, GridSquaresIn(rect, mapping), labels);
    painter.restore();
}
