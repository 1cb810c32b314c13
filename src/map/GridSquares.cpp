#include "GridSquares.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include <QLineF>

#include "Maidenhead.h"
#include "Mapstuff.h"

namespace {

// Cell sizes in seconds of arc, longitude and latitude, and the locator's length. Every edge of
// every level lies on a whole multiple of its size counted from 0 degrees, since 180 and 90
// degrees are whole multiples of every size.
struct LevelSize {
    int64_t Longitude;
    int64_t Latitude;
    int Characters;
};
constexpr LevelSize Sizes[3] = {{7200, 3600, 4}, {300, 150, 6}, {30, 15, 8}};

constexpr int EdgeSamples = 32;        // points per side of the rect when finding its extent
constexpr double PointSpacing = 16;    // pixels between the points of a line; chords stay
                                       // within 0.01 pixel of the curve even at 512 m a pixel
constexpr int MostPoints = 4000;       // per line
constexpr size_t MostLines = 2000;     // per direction, for a view far out of proportion
constexpr int64_t MostCells = 10000;
constexpr double Overhang = 0.02;      // lines run this share of the extent beyond it

struct Extent {
    double South = 90, North = -90, West = 1e9, East = -1e9;
};

// The latitudes and longitudes under rect's edges; in a UTM picture their extremes lie there.
bool ExtentOf(const QRectF& rect, const PixelMapping& mapping, Extent& extent)
{
    bool any = false;
    for (int i = 0; i <= EdgeSamples; ++i) {
        const double t = double(i) / EdgeSamples;
        const double x = rect.left() + t * rect.width();
        const double y = rect.top() + t * rect.height();
        for (const QPointF pixel : {QPointF(x, rect.top()), QPointF(x, rect.bottom()),
                                    QPointF(rect.left(), y), QPointF(rect.right(), y)}) {
            double latitude = 0, longitude = 0;
            if (!mapping.ToLatLong(pixel, latitude, longitude))
                continue;
            extent.South = std::min(extent.South, latitude);
            extent.North = std::max(extent.North, latitude);
            extent.West = std::min(extent.West, longitude);
            extent.East = std::max(extent.East, longitude);
            any = true;
        }
    }
    if (!any)
        return false;
    const double latitudePad = (extent.North - extent.South) * Overhang + 1e-6;
    const double longitudePad = (extent.East - extent.West) * Overhang + 1e-6;
    extent.South = std::max(extent.South - latitudePad, -90.0);
    extent.North = std::min(extent.North + latitudePad, 90.0);
    extent.West -= longitudePad;
    extent.East += longitudePad;
    return true;
}

double Distance(const QPointF& a, const QPointF& b)
{
    return QLineF(a, b).length();
}

// Pixels between neighbouring lines of a level at a point, the closer of the two directions.
double SpacingAt(const PixelMapping& mapping, double latitude, double longitude, const LevelSize& size)
{
    const QPointF here = mapping.ToPixel(latitude, longitude);
    const double across = Distance(here, mapping.ToPixel(latitude, longitude + size.Longitude / 3600.0));
    const double up = Distance(here, mapping.ToPixel(latitude + size.Latitude / 3600.0, longitude));
    return std::isfinite(across) && std::isfinite(up) ? std::min(across, up) : 0;
}

// The coarsest level whose edges include this multiple of seconds.
GridLevel LevelOf(int64_t seconds, bool meridian, int finest)
{
    for (int level = 0; level < finest; ++level)
        if (seconds % (meridian ? Sizes[level].Longitude : Sizes[level].Latitude) == 0)
            return GridLevel(level);
    return GridLevel(finest);
}

// The edges of the finest level (and so of every coarser one) across the extent, one way.
void AddLines(const QRectF& rect, const PixelMapping& mapping, const Extent& extent, int finest,
              bool meridian, std::vector<GridLine>& lines)
{
    const int64_t step = meridian ? Sizes[finest].Longitude : Sizes[finest].Latitude;
    const double from = (meridian ? extent.West : extent.South) * 3600.0;
    const double to = (meridian ? extent.East : extent.North) * 3600.0;
    const auto first = int64_t(std::ceil(from / double(step)));
    const auto last = int64_t(std::floor(to / double(step)));
    if (last - first >= int64_t(MostLines))
        return;
    for (int64_t k = first; k <= last; ++k) {
        GridLine line;
        line.Level = LevelOf(k * step, meridian, finest);
        line.Meridian = meridian;
        line.Degrees = double(k * step) / 3600.0;
        const double start = meridian ? extent.South : extent.West;
        const double end = meridian ? extent.North : extent.East;
        const auto at = [&](double t) {
            const double along = start + (end - start) * t;
            return meridian ? mapping.ToPixel(along, line.Degrees) : mapping.ToPixel(line.Degrees, along);
        };
        const double length = Distance(at(0), at(1));
        const int count = std::isfinite(length)
            ? std::clamp(int(std::ceil(length / PointSpacing)), 1, MostPoints) : 1;
        bool inside = false;
        for (int i = 0; i <= count; ++i) {
            const QPointF point = at(double(i) / count);
            inside = inside || rect.contains(point);
            line.Points << point;
        }
        if (inside)
            lines.push_back(std::move(line));
    }
}

// The value at t on the straight line through (t0, v0) and (t1, v1).
double Interpolate(double t0, double v0, double t1, double v1, double t)
{
    return t1 == t0 ? v0 : v0 + (v1 - v0) * (t - t0) / (t1 - t0);
}

// One label for each cell of the finest level with room for it in the rect: at the cell's
// upper-left corner, or at the upper-left of the part of it that is shown.
void AddLabels(const QRectF& rect, const PixelMapping& mapping, const Extent& extent, int finest,
               double room, std::vector<GridLabel>& labels)
{
    const LevelSize& size = Sizes[finest];
    const auto firstColumn = int64_t(std::floor(extent.West * 3600.0 / double(size.Longitude)));
    const auto lastColumn = int64_t(std::floor(extent.East * 3600.0 / double(size.Longitude)));
    const auto firstRow = int64_t(std::floor(extent.South * 3600.0 / double(size.Latitude)));
    const auto lastRow = int64_t(std::floor(extent.North * 3600.0 / double(size.Latitude)));
    if ((lastColumn - firstColumn + 1) * (lastRow - firstRow + 1) > MostCells)
        return;
    for (int64_t row = firstRow; row <= lastRow; ++row) {
        const double south = double(row * size.Latitude) / 3600.0;
        const double north = double((row + 1) * size.Latitude) / 3600.0;
        if (south < -90 || north > 90)
            continue;
        for (int64_t column = firstColumn; column <= lastColumn; ++column) {
            const double west = double(column * size.Longitude) / 3600.0;
            const double east = double((column + 1) * size.Longitude) / 3600.0;
            const QPointF corner = mapping.ToPixel(north, west);
            const QPointF opposite = mapping.ToPixel(south, east);
            // A corner outside: where the slanting west and north edges enter the rect.
            double x = corner.x(), y = corner.y();
            if (y < rect.top()) {
                const QPointF southWest = mapping.ToPixel(south, west);
                x = Interpolate(corner.y(), corner.x(), southWest.y(), southWest.x(), rect.top());
            }
            if (x < rect.left()) {
                const QPointF northEast = mapping.ToPixel(north, east);
                y = Interpolate(corner.x(), corner.y(), northEast.x(), northEast.y(), rect.left());
            }
            const QPointF anchor(std::max(x, rect.left()), std::max(y, rect.top()));
            if (anchor.x() + room > std::min(opposite.x(), rect.right())
                || anchor.y() + room > std::min(opposite.y(), rect.bottom()))
                continue;
            const double longitude = Mapstuff::FloatMod((west + east) / 2 + 180.0, 360.0) - 180.0;
            labels.push_back({LocatorOf((south + north) / 2, longitude, size.Characters), anchor});
        }
    }
}

bool IsSouthernBand(const std::string& band)
{
    return !band.empty() && band < "N";
}

}  // namespace

PixelMapping UtmPixelMapping(int16_t ellipsoidIndex, int16_t zone, const std::string& band,
                             double westEasting, double northNorthing, double metresPerPixel)
{
    const auto projector = std::make_shared<const Mapstuff::ZoneProjector>(ellipsoidIndex, zone);
    const double falseNorthing = IsSouthernBand(band) ? 10000000.0 : 0.0;
    Mapstuff::UtmPoint origin;
    origin.EllipsoidIndex = ellipsoidIndex;
    origin.Zone = zone;
    origin.Band = band;

    PixelMapping mapping;
    mapping.ToPixel = [=](double latitude, double longitude) {
        double easting = 0, northing = 0;
        projector->Forward(latitude, longitude, easting, northing);
        return QPointF((easting - westEasting) / metresPerPixel,
                       (northNorthing - northing - falseNorthing) / metresPerPixel);
    };
    mapping.ToLatLong = [=](const QPointF& pixel, double& latitude, double& longitude) {
        if (!projector->Valid() || !(metresPerPixel > 0))
            return false;
        Mapstuff::UtmPoint point = origin;
        point.Easting = westEasting + pixel.x() * metresPerPixel;
        point.Northing = northNorthing - pixel.y() * metresPerPixel;
        if (Mapstuff::UtmToLatLong(point) != Mapstuff::UtmOk
            || !std::isfinite(point.Latitude) || !std::isfinite(point.Longitude))
            return false;
        latitude = point.Latitude;
        longitude = point.Longitude;
        return true;
    };
    return mapping;
}

PixelMapping MapPixelMapping(const TileGrid& grid)
{
    return UtmPixelMapping(grid.BottomLeft.EllipsoidIndex, grid.Zone, grid.BottomLeft.Band,
                           grid.BottomLeft.Easting, grid.TopRight.Northing, grid.MetresPerPixel);
}

GridSquares GridSquaresIn(const QRectF& rect, const PixelMapping& mapping, double minimumSpacing)
{
    GridSquares grid;
    Extent extent;
    if (rect.isEmpty() || !mapping.ToPixel || !mapping.ToLatLong || !ExtentOf(rect, mapping, extent))
        return grid;

    double latitude = 0, longitude = 0;
    if (!mapping.ToLatLong(rect.center(), latitude, longitude)) {
        latitude = (extent.South + extent.North) / 2;
        longitude = (extent.West + extent.East) / 2;
    }
    int finest = -1;
    while (finest + 1 < 3 && SpacingAt(mapping, latitude, longitude, Sizes[finest + 1]) >= minimumSpacing)
        ++finest;
    if (finest < 0)
        return grid;

    grid.Drawn = true;
    grid.Finest = GridLevel(finest);
    AddLines(rect, mapping, extent, finest, true, grid.Lines);
    AddLines(rect, mapping, extent, finest, false, grid.Lines);
    AddLabels(rect, mapping, extent, finest, minimumSpacing / 2, grid.Labels);
    return grid;
}
