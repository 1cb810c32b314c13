#include "CoastSource.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "Mapstuff.h"
#include "Rasterizer.h"

namespace {

constexpr int16_t kProgramEllipsoid = 22;
constexpr double kDensifyStep = 0.05;  // degrees between added points along a bin edge
// A line of equal northing bends in latitude across a bin by well under this many degrees, so
// an edge farther than this north or south of the tile cannot cross its rows.
constexpr double kLatitudeMargin = 0.25;

struct GeoBox {
    double West = 1e9, South = 1e9, East = -1e9, North = -1e9;
};

// The tile's footprint in degrees, from points along its border taken back from UTM.
GeoBox FootprintOf(const TileAddress& tile)
{
    const TileExtent extent = ExtentOf(tile);
    GeoBox box;
    constexpr int kSteps = 8;
    for (int i = 0; i <= kSteps; ++i) {
        const double f = double(i) / kSteps;
        const double e = extent.West + f * (extent.East - extent.West);
        const double n = extent.South + f * (extent.North - extent.South);
        for (const auto& [easting, northing] : {std::pair{e, extent.South}, std::pair{e, extent.North},
                                                std::pair{extent.West, n}, std::pair{extent.East, n}}) {
            Mapstuff::UtmPoint point;
            point.EllipsoidIndex = kProgramEllipsoid;
            point.Zone = int16_t(tile.Zone);
            point.Band = "N";
            point.Easting = easting;
            point.Northing = northing;
            Mapstuff::UtmToLatLong(point);
            box.West = std::min(box.West, point.Longitude), box.East = std::max(box.East, point.Longitude);
            box.South = std::min(box.South, point.Latitude), box.North = std::max(box.North, point.Latitude);
        }
    }
    return box;
}

// Turns degrees into the tile's pixels.
class TilePixels {
public:
    TilePixels(const TileAddress& tile, const GeoBox& box)
        : m_projector(kProgramEllipsoid, int16_t(tile.Zone)), m_extent(ExtentOf(tile)),
          m_pixelMetres(double(TileMetres(tile.Scale)) / RgbImage::kSide),
          m_southLimit(box.South - kLatitudeMargin), m_northLimit(box.North + kLatitudeMargin)
    {
    }

    PixelPoint operator()(double lon, double lat) const
    {
        double easting = 0, northing = 0;
        m_projector.Forward(lat, lon, easting, northing);
        return {(easting - m_extent.West) / m_pixelMetres, (m_extent.North - northing) / m_pixelMetres};
    }
    // -1 south of the rows the tile can see, 1 north of them, 0 within.
    int Side(double lat) const { return lat < m_southLimit ? -1 : lat > m_northLimit ? 1 : 0; }

private:
    Mapstuff::ZoneProjector m_projector;
    TileExtent m_extent;
    double m_pixelMetres;
    double m_southLimit, m_northLimit;
};

// Appends the edges of a line of points in degrees, shifted by `lonShift` degrees, leaving out
// edges wholly north or south of the tile.
void AppendEdges(const std::vector<CoastData::Point>& points, double lonShift, const TilePixels& pixels,
                 std::vector<Edge>& edges)
{
    const auto at = [&](size_t i) { return pixels(points[i].Lon * CoastData::kMicro + lonShift, points[i].Lat * CoastData::kMicro); };
    PixelPoint previous;
    bool previousKnown = false;
    for (size_t i = 1; i < points.size(); ++i) {
        const int sideBefore = pixels.Side(points[i - 1].Lat * CoastData::kMicro);
        if (sideBefore != 0 && sideBefore == pixels.Side(points[i].Lat * CoastData::kMicro)) {
            previousKnown = false;
            continue;
        }
        if (!previousKnown)
            previous = at(i - 1);
        const PixelPoint here = at(i);
        edges.push_back({previous, here});
        previous = here;
        previousKnown = true;
    }
}

// Where a point on a bin's edge lies along its border, counter-clockwise from the south-west
// corner: 0..1 south edge, 1..2 east, 2..3 north, 3..4 west.
double PerimeterPosition(double lon, double lat, double west, double south, double size)
{
    const double u = (lon - west) / size, v = (lat - south) / size;
    const double distances[4] = {std::fabs(v), std::fabs(1 - u), std::fabs(1 - v), std::fabs(u)};
    const int side = int(std::min_element(distances, distances + 4) - distances);
    switch (side) {
    case 0: return std::clamp(u, 0.0, 1.0);
    case 1: return 1 + std::clamp(v, 0.0, 1.0);
    case 2: return 2 + std::clamp(1 - u, 0.0, 1.0);
    default: return 3 + std::clamp(1 - v, 0.0, 1.0);
    }
}

// The point at perimeter position t (see above), in degrees.
std::pair<double, double> PerimeterPoint(double t, double west, double south, double size)
{
    t = std::fmod(t, 4.0);
    const int side = std::min(3, int(t));
    const double f = t - side;
    switch (side) {
    case 0: return {west + f * size, south};
    case 1: return {west + size, south + f * size};
    case 2: return {west + (1 - f) * size, south + size};
    default: return {west, south + (1 - f) * size};
    }
}

// The stretch of a bin's border from t0 to t1 (counter-clockwise), as points in degrees.
std::vector<CoastData::Point> BorderStretch(double t0, double t1, double west, double south, double size)
{
    std::vector<CoastData::Point> points;
    const auto add = [&](double t) {
        const auto [lon, lat] = PerimeterPoint(t, west, south, size);
        points.push_back({int32_t(std::lround(lon / CoastData::kMicro)), int32_t(std::lround(lat / CoastData::kMicro))});
    };
    add(t0);
    const double step = kDensifyStep / size;
    for (double t = std::floor(t0 / step + 1) * step; t < t1; t += step)
        add(t);
    add(t1);
    return points;
}

// The edges bounding the part of a bin at shoreline level `level` or above: the level's own
// shore lines, closed along the bin's border where the border lies at that level or above.
void LevelEdges(const CoastData& data, int column, int row, int level, double lonShift, const TilePixels& pixels,
                std::vector<Edge>& edges)
{
    const double size = data.BinSize();
    const double west = -180 + column * size, south = row * size;
    std::vector<double> ends;
    for (uint32_t index : data.LinesIn(column, row)) {
        const CoastData::Line& line = data.LineAt(index);
        if (line.What != CoastData::Kind::Shore || line.Level != level)
            continue;
        AppendEdges(line.Points, lonShift, pixels, edges);
        if (line.Closed)
            continue;
        for (const CoastData::Point& p : {line.Points.front(), line.Points.back()})
            ends.push_back(PerimeterPosition(p.Lon * CoastData::kMicro, p.Lat * CoastData::kMicro, west, south, size));
    }
    // Walking the border from the south-west corner, each line end toggles between inside and
    // outside the level.
    std::sort(ends.begin(), ends.end());
    bool inside = data.CornerLevel(column, row) >= level;
    double from = 0;
    for (double end : ends) {
        if (inside)
            AppendEdges(BorderStretch(from, end, west, south, size), lonShift, pixels, edges);
        inside = !inside;
        from = end;
    }
    if (inside)
        AppendEdges(BorderStretch(from, 4, west, south, size), lonShift, pixels, edges);
}

// Draws the lines of one kind in a bin.
void DrawLines(const CoastData& data, int column, int row, CoastData::Kind kind, int minLevel, int maxLevel, double lonShift,
               const TilePixels& pixels, RgbImage& image, Rgb colour, double width)
{
    std::vector<PixelPoint> points;
    for (uint32_t index : data.LinesIn(column, row)) {
        const CoastData::Line& line = data.LineAt(index);
        if (line.What != kind || line.Level < minLevel || line.Level > maxLevel)
            continue;
        points.clear();
        for (const CoastData::Point& p : line.Points)
            points.push_back(pixels(p.Lon * CoastData::kMicro + lonShift, p.Lat * CoastData::kMicro));
        DrawPolyline(image, points, colour, width);
    }
}

}  // namespace

CoastSource::CoastSource(std::string folder, bool full)
{
    m_prepared = std::async(std::launch::async, [folder] {
                     Prepared prepared;
                     prepared.Data = CoastData::Prepare(folder, 'h', prepared.Error);
                     return prepared;
                 }).share();
    if (!full)
        return;
    // After the high resolution, so that the first tiles do not wait for both.
    m_full = std::async(std::launch::async, [folder, high = m_prepared] {
                 high.wait();
                 Prepared prepared;
                 prepared.Data = CoastData::Prepare(folder, 'f', prepared.Error);
                 fprintf(stderr, "quiltmap-tileserver: the embedded map's full resolution %s\n",
                         prepared.Data ? "is ready" : ("cannot be used: " + prepared.Error).c_str());
                 return prepared;
             }).share();
}

CoastSource::CoastSource(std::shared_ptr<const CoastData> data, std::shared_future<Prepared> full) : m_full(std::move(full))
{
    std::promise<Prepared> ready;
    ready.set_value({std::move(data), {}});
    m_prepared = ready.get_future().share();
}

std::string CoastSource::CacheKey() const
{
    return "embedded\n" + CoastData::FileName('h') + (m_full.valid() ? "\n" + CoastData::FileName('f') : "") + "\nstyle 2";
}

std::string CoastSource::Describe() const
{
    return std::string("the embedded map (GSHHG shorelines, rivers and borders") +
           (m_full.valid() ? ", full resolution at 32 m/pixel and finer)" : ")");
}

bool CoastSource::Ready() const
{
    return m_prepared.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

void CoastSource::WaitForFull()
{
    if (m_full.valid() && m_full.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        fputs("quiltmap-tileserver: finishing the embedded map's full resolution first\n", stderr);
        m_full.wait();
    }
}

std::shared_ptr<const CoastData> CoastSource::Data(std::string& error)
{
    const Prepared& prepared = m_prepared.get();
    error = prepared.Error;
    return prepared.Data;
}

RenderResult CoastSource::Render(const TileAddress& tile, RgbImage& image)
{
    std::string error;
    std::shared_ptr<const CoastData> data = Data(error);
    if (!data)
        return {false, "The embedded map is not available: " + error, 500};
    RenderResult result;
    if (tile.Scale <= kFullScale && m_full.valid()) {
        // Drawn from the high resolution until the full one is ready (or when it failed: a later
        // start may manage it), and then not kept.
        if (m_full.wait_for(std::chrono::seconds(0)) == std::future_status::ready && m_full.get().Data)
            data = m_full.get().Data;
        else
            result.Provisional = true;
    }

    const bool photo = tile.Type != 2;
    const Rgb water = photo ? kWater : kMapWater, land = photo ? kLand : kPaper;
    image.Fill(water);
    const GeoBox box = FootprintOf(tile);
    const TilePixels pixels(tile, box);
    const double size = data->BinSize();

    // Bins under the footprint; a footprint across 180 degrees wraps to the other side.
    struct BinRef {
        int Column, Row;
        double LonShift;
    };
    std::vector<BinRef> bins;
    const int firstRow = std::max(0, int(std::floor(box.South / size)));
    const int lastRow = std::min(data->Rows() - 1, int(std::floor(box.North / size)));
    const int firstColumn = int(std::floor((box.West + 180) / size)), lastColumn = int(std::floor((box.East + 180) / size));
    for (int row = firstRow; row <= lastRow; ++row) {
        for (int c = firstColumn; c <= lastColumn; ++c) {
            const int wrapped = ((c % data->Columns()) + data->Columns()) % data->Columns();
            bins.push_back({wrapped, row, double(c - wrapped) * size});
        }
    }

    // Level by level: land on sea, lakes on land, islands in lakes, ponds on those islands.
    std::vector<Edge> edges;
    for (int level = 1; level <= 4; ++level) {
        for (const BinRef& bin : bins) {
            edges.clear();
            LevelEdges(*data, bin.Column, bin.Row, level, bin.LonShift, pixels, edges);
            FillEvenOdd(image, edges, level % 2 == 1 ? land : water);
        }
    }
    if (photo) {
        for (const BinRef& bin : bins)
            DrawLines(*data, bin.Column, bin.Row, CoastData::Kind::River, 1, 4, bin.LonShift, pixels, image, kWater, 1);
        return result;
    }
    // Shores wide enough to see on a printed map at the finer scales; rivers thinner and
    // lighter; borders in a colour of their own over everything.
    const double shoreWidth = tile.Scale <= kWideShoreScale ? 2 : 1;
    const double riverWidth = tile.Scale <= 12 ? 2 : 1;
    for (const BinRef& bin : bins) {
        DrawLines(*data, bin.Column, bin.Row, CoastData::Kind::River, 1, 10, bin.LonShift, pixels, image, kRiverLine, riverWidth);
        DrawLines(*data, bin.Column, bin.Row, CoastData::Kind::Shore, 1, 4, bin.LonShift, pixels, image, kShoreLine, shoreWidth);
    }
    for (const BinRef& bin : bins) {
        DrawLines(*data, bin.Column, bin.Row, CoastData::Kind::Border, 1, 1, bin.LonShift, pixels, image, kBorderLine, 2);
        DrawLines(*data, bin.Column, bin.Row, CoastData::Kind::Border, 2, 2, bin.LonShift, pixels, image, kBorderLine, 1);
    }
    return result;
}
