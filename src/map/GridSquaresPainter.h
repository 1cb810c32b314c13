#pragma once

#include <QPainter>
#include <QRectF>

#include "GridSquares.h"

// Draws the grid's lines, a thin dark line on a light edge so that it reads on photos and on
// topographic sheets alike, coarser levels bolder, then the labels (dark on a light edge, just
// inside each cell's upper-left corner). The painter's state is kept.
void DrawGridSquares(QPainter& painter, const GridSquares& grid, bool labels = true);

// The same for the grid crossing rect (pixels of mapping), clipped to rect.
void DrawGridSquares(QPainter& painter, const QRectF& rect, const PixelMapping& mapping,
                     bool labels = true);
