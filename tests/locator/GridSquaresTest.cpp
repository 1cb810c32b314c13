#include <QLineF>
#include <gtest/gtest.h>

#include "GridSquares.h"
#include "MapRequest.h"

namespace {

// Centres converted with PROJ's cs2cs on the program's ellipsoid (+a=6378137 +b=6356750.321,
// UTM zone 10 and 11); the west and north edges snapped to the tile grid by hand.
struct MapCase { const char* name; double latitude, longitude; int16_t scaleIndex, tiles;
                 double westEasting, northNorthing; GridLevel finest; };
const MapCase Maps[] = {
    {"8x8 at 64 m across CN86/CN96", 47, -122, 6, 8, 524800, 5260800, GridLevel::Subsquare},
    {"4x4 at 16 m over the zone 10/11 edge", 45.5, -(119 + 58 / 60.0), 4, 4, 262400, 5049600, GridLevel::Subsquare},
    {"2x2 at 1 m on the corner of CN96", 47, -122, 0, 2, 575800, 5205800, GridLevel::Extended}};

double DistanceTo(const QPolygonF& line, const QPointF& point)
{
    double nearest = 1e9;
    for (int i = 0; i + 1 < line.size(); ++i) {
        const QLineF segment(line[i], line[i + 1]);
        const QPointF d = segment.p2() - segment.p1();
        const double t = std::clamp(QPointF::dotProduct(point - segment.p1(), d) / QPointF::dotProduct(d, d), 0.0, 1.0);
        nearest = std::min(nearest, QLineF(point, segment.p1() + t * d).length());
    }
    return nearest;
}

GridSquares SquaresOf(const MapCase& map, TileGrid& grid)
{
    const int16_t tiles = int16_t(map.tiles - 1);
    MapRequest request;
    EXPECT_TRUE(BuildTileGrid({.ScaleIndex = map.scaleIndex, .WidthIndex = tiles, .HeightIndex = tiles}, map.latitude,
                              map.longitude, request, grid));
    EXPECT_EQ(grid.BottomLeft.Easting, map.westEasting) << map.name;
    EXPECT_EQ(grid.TopRight.Northing, map.northNorthing) << map.name;
    return GridSquaresIn(QRectF(0, 0, map.tiles * 200, map.tiles * 200), MapPixelMapping(grid));
}

}  // namespace

// Points on the lines: latitude/longitude through cs2cs, (easting - west) / m and (north - northing) / m.
TEST(GridSquares, LinesFollowLatitudeAndLongitudeThroughTheMapsUtm)
{
    const struct { int map; bool meridian; double degrees; GridLevel level; double x, y; } cases[] = {
        {0, true, -122, GridLevel::Square, 807.029, 1382.651},      // 46.7 N
        {0, false, 47, GridLevel::Square, 1394.336, 852.287},       // 121.5 W
        {0, false, 47.125, GridLevel::Subsquare, 442.087, 648.587},
        {1, true, -120, GridLevel::Square, 214.314, 73.283},        // the zone edge, 45.55 N
        {1, false, 45.5, GridLevel::Subsquare, 6.019, 413.105},     // 120.04 W, beyond the edge
        {1, true, -(119 + 55 / 60.0), GridLevel::Subsquare, 613.280, 296.584},
        {2, true, -122, GridLevel::Square, 226.743, 264.085},
        {2, false, 47, GridLevel::Square, 377.374, 151.017},    // 121.998 W
    };
    for (const auto& c : cases) {
        TileGrid grid;
        const GridSquares squares = SquaresOf(Maps[c.map], grid);
        ASSERT_TRUE(squares.Drawn);
        EXPECT_EQ(squares.Finest, Maps[c.map].finest) << Maps[c.map].name;
        const auto line = std::find_if(squares.Lines.begin(), squares.Lines.end(), [&](const GridLine& l) {
            return l.Meridian == c.meridian && std::abs(l.Degrees - c.degrees) < 1e-9;
        });
        ASSERT_NE(line, squares.Lines.end()) << Maps[c.map].name << " " << c.degrees;
        EXPECT_EQ(line->Level, c.level) << c.degrees;
        EXPECT_LT(DistanceTo(line->Points, QPointF(c.x, c.y)), 0.05) << Maps[c.map].name << " " << c.degrees;
    }
    // Of the first map only the square edges inside (122 W, 47 N) are square lines, among the 5'
    // meridians and 2.5' parallels crossing it (cs2cs corners).
    TileGrid grid;
    const GridSquares squares = SquaresOf(Maps[0], grid);
    EXPECT_EQ(squares.Lines.size(), size_t(17 + 23));
    EXPECT_EQ(std::count_if(squares.Lines.begin(), squares.Lines.end(),
                            [](const GridLine& line) { return line.Level == GridLevel::Square; }), 2);
}
