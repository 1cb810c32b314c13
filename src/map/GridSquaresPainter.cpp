#include "GridSquaresPainter.h"

#include <QFont>
#include <QFontMetricsF>

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
        painter.setFont(font);
        const double ascent = QFontMetricsF(font).ascent();
        for (const GridLabel& label : grid.Labels) {
            const QPointF at = label.Corner + QPointF(LabelInset, LabelInset + ascent);
            // The light edge: the text shifted a pixel each way, under the dark text.
            painter.setPen(Light);
            for (const QPointF shift : {QPointF(-1, -1), QPointF(0, -1), QPointF(1, -1), QPointF(-1, 0),
                                        QPointF(1, 0), QPointF(-1, 1), QPointF(0, 1), QPointF(1, 1)})
                painter.drawText(at + shift, label.Locator);
            painter.setPen(Dark);
            painter.drawText(at, label.Locator);
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
