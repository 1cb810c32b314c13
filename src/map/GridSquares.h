#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <QPointF>
#include <QPolygonF>
#include <QRectF>
#include <QString>

#include "MapTypes.h"

// The Maidenhead grid over a picture or a view: which edges of squares (2 x 1 degrees),
// subsquares (5 x 2.5 minutes) and extended squares (30 x 15 seconds) cross it, as lines in
// pixels that follow true latitude and longitude, and where each cell's locator goes.

// Pixels of a picture or view and the latitude/longitude under them. Pixel coordinates are
// continuous: (0, 0) is the top-left corner of the top-left pixel, pixel (i, j) covers
// [i, i + 1) x [j, j + 1). Degrees, north and east positive; longitudes need not be wrapped.
struct PixelMapping {
    std::function<QPointF(double latitude, double longitude)> ToPixel;
    // False where the view has no latitude/longitude.
    std::function<bool(const QPointF& pixel, double& latitude, double& longitude)> ToLatLong;
};

// A north-up UTM rectangle: x east from westEasting, y south from northNorthing, metresPerPixel
// metres a pixel. Points are converted in that zone also beyond its edges, with the program's
// own UTM; band gives the hemisphere (false northing from "C" to "M").
PixelMapping UtmPixelMapping(int16_t ellipsoidIndex, int16_t zone, const std::string& band,
                             double westEasting, double northNorthing, double metresPerPixel);

// The saved map picture of grid, placed from the same corner points its ".INF" states:
// BottomLeft is the picture's bottom-left corner, TopRight its top-right one.
PixelMapping MapPixelMapping(const TileGrid& grid);

enum class GridLevel { Square = 0, Subsquare = 1, Extended = 2 };

struct GridLine {
    GridLevel Level = GridLevel::Square;  // the coarsest level the edge belongs to
    bool Meridian = false;                // a line of longitude, else of latitude
    double Degrees = 0;                   // its longitude or latitude
    QPolygonF Points;                     // pixels, a few pixels apart, beyond the rect at both ends
};

struct GridLabel {
    QString Locator;   // "CN87", "CN87uo" or "CN87uo42"
    QPointF Corner;    // the cell's upper-left corner in pixels, or of its visible part
};

struct GridSquares {
    bool Drawn = false;                    // false: even squares are closer than the spacing
    GridLevel Finest = GridLevel::Square;  // the finest level drawn; every coarser one is too
    std::vector<GridLine> Lines;           // each edge once, at its coarsest level
    std::vector<GridLabel> Labels;         // one for each cell of the finest level shown
};

// The grid crossing rect (pixels): the finest level whose lines are at least minimumSpacing
// pixels apart both ways at the rect's centre, and every coarser level.
GridSquares GridSquaresIn(const QRectF& rect, const PixelMapping& mapping, double minimumSpacing = 50);
