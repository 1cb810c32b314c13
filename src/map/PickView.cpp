#include "PickView.h"

#include <algorithm>
#include <cmath>

#include "MapRequest.h"

namespace {

constexpr int16_t Wgs84 = 22;   // row of the ellipsoid catalogue

// What the latitude and longitude fields can hold, inside the UTM latitudes.
bool FieldsCanHold(double latitude, double longitude)
{
    return latitude >= 0 && latitude <= 84 && longitude >= -180 && longitude <= 0;
}

bool ToUtm(double latitude, double longitude, Mapstuff::UtmPoint& point)
{
    Mapstuff::UtmPoint p;
    p.Latitude = latitude;
    p.Longitude = longitude;
    p.EllipsoidIndex = Wgs84;
    if (!std::isfinite(latitude) || !std::isfinite(longitude) || Mapstuff::LatLongToUtm(p) != Mapstuff::UtmOk)
        return false;
    point = p;
    return true;
}

}  // namespace

bool PickView::Open(double latitude, double longitude, int16_t scaleCode, int width, int height)
{
    Mapstuff::UtmPoint point;
    if (!ToUtm(latitude, longitude, point))
        return false;
    m_point = point;
    m_scaleCode = std::clamp(scaleCode, FirstScale, LastScale);
    Resize(width, height);
    m_centreEasting = m_point.Easting;
    m_centreNorthing = m_point.Northing;
    return true;
}

void PickView::Resize(int width, int height)
{
    m_width = std::max(width, 1);
    m_height = std::max(height, 1);
}

double PickView::MetresPerPixel() const
{
    return std::ldexp(1.0, m_scaleCode - FirstScale);
}

PickView::Point PickView::UtmToScreen(double easting, double northing) const
{
    const double mpp = MetresPerPixel();
    return {m_width / 2.0 + (easting - m_centreEasting) / mpp, m_height / 2.0 - (northing - m_centreNorthing) / mpp};
}

PickView::Point PickView::ScreenToUtm(double x, double y) const
{
    const double mpp = MetresPerPixel();
    return {m_centreEasting + (x - m_width / 2.0) * mpp, m_centreNorthing - (y - m_height / 2.0) * mpp};
}

bool PickView::ScreenToLatLong(double x, double y, double& latitude, double& longitude) const
{
    const Point utm = ScreenToUtm(x, y);
    Mapstuff::UtmPoint p = m_point;
    p.Easting = utm.X;
    p.Northing = utm.Y;
    if (Mapstuff::UtmToLatLong(p) != Mapstuff::UtmOk || !std::isfinite(p.Latitude) || !std::isfinite(p.Longitude))
        return false;
    latitude = p.Latitude;
    longitude = p.Longitude;
    return true;
}

bool PickView::StepScale(int steps, Point anchor)
{
    const int16_t scale = int16_t(std::clamp(m_scaleCode + steps, int(FirstScale), int(LastScale)));
    if (scale == m_scaleCode)
        return false;
    const Point ground = ScreenToUtm(anchor.X, anchor.Y);
    m_scaleCode = scale;
    const double mpp = MetresPerPixel();
    m_centreEasting = ground.X - (anchor.X - m_width / 2.0) * mpp;
    m_centreNorthing = ground.Y + (anchor.Y - m_height / 2.0) * mpp;
    return true;
}

void PickView::Pan(double dx, double dy)
{
    const double mpp = MetresPerPixel();
    m_centreEasting -= dx * mpp;
    m_centreNorthing += dy * mpp;
}

bool PickView::SetPointAt(double x, double y)
{
    const Point utm = ScreenToUtm(x, y);
    Mapstuff::UtmPoint moved = m_point;
    moved.Easting = utm.X;
    moved.Northing = utm.Y;
    return TakePoint(moved);
}

bool PickView::MovePoint(double eastPixels, double northPixels)
{
    const double mpp = MetresPerPixel();
    Mapstuff::UtmPoint moved = m_point;
    moved.Easting += eastPixels * mpp;
    moved.Northing += northPixels * mpp;
    if (!TakePoint(moved))
        return false;
    KeepPointInView();
    return true;
}

// moved: the new point's metres in the view's zone.
bool PickView::TakePoint(const Mapstuff::UtmPoint& moved)
{
    Mapstuff::UtmPoint point = moved;
    if (Mapstuff::UtmToLatLong(point) != Mapstuff::UtmOk || !FieldsCanHold(point.Latitude, point.Longitude))
        return false;
    Mapstuff::UtmPoint own;
    if (!ToUtm(point.Latitude, point.Longitude, own))
        return false;
    if (own.Zone == m_point.Zone) {
        // Same zone: keep the metres exactly as moved, so steps add up without drift.
        point.Band = own.Band;
        m_point = point;
        return true;
    }
    // Another zone: the view goes there, centred on the point.
    m_point = own;
    m_centreEasting = own.Easting;
    m_centreNorthing = own.Northing;
    return true;
}

void PickView::KeepPointInView()
{
    const Point at = UtmToScreen(m_point.Easting, m_point.Northing);
    if (at.X < 0 || at.X >= m_width || at.Y < 0 || at.Y >= m_height) {
        m_centreEasting = m_point.Easting;
        m_centreNorthing = m_point.Northing;
    }
}

std::vector<TileAddress> PickView::CoveringTiles(int imageType) const
{
    const double side = double(TileMetres(m_scaleCode));
    const Point topLeft = ScreenToUtm(0, 0);
    const Point bottomRight = ScreenToUtm(m_width, m_height);
    // Tiles touching the view only along an edge are not needed.
    const auto first = [side](double metres) { return int64_t(std::floor(metres / side)); };
    const auto last = [side](double metres, int64_t bound) {
        return std::min(int64_t(std::ceil(metres / side)), int64_t(std::ceil(bound / side))) - 1;
    };
    const int64_t x0 = std::max<int64_t>(first(topLeft.X), 0);
    const int64_t x1 = last(bottomRight.X, kMaxEasting);
    const int64_t y0 = std::max<int64_t>(first(bottomRight.Y), 0);
    const int64_t y1 = last(topLeft.Y, kMaxNorthing);

    std::vector<TileAddress> tiles;
    for (int64_t y = y0; y <= y1; ++y)
        for (int64_t x = x0; x <= x1; ++x)
            tiles.push_back({imageType, m_scaleCode, m_point.Zone, x, y});
    const auto distance = [&](const TileAddress& t) {
        const double dx = (double(t.X) + 0.5) * side - m_centreEasting;
        const double dy = (double(t.Y) + 0.5) * side - m_centreNorthing;
        return dx * dx + dy * dy;
    };
    std::stable_sort(tiles.begin(), tiles.end(),
                     [&](const TileAddress& a, const TileAddress& b) { return distance(a) < distance(b); });
    return tiles;
}

// Grid lines fall on whole pixels all the same way: one rounding of the view's offset.
int PickView::ScreenColumn(double easting) const
{
    const double mpp = MetresPerPixel();
    const double origin = std::round(m_width / 2.0 - m_centreEasting / mpp);
    return int(origin + std::round(easting / mpp));
}

int PickView::ScreenRow(double northing) const
{
    const double mpp = MetresPerPixel();
    const double origin = std::round(m_height / 2.0 + m_centreNorthing / mpp);
    return int(origin - std::round(northing / mpp));
}

PickView::Rect PickView::TileRect(const TileAddress& tile) const
{
    const TileExtent extent = ExtentOf(tile);
    return {ScreenColumn(extent.West), ScreenRow(extent.North), ScreenColumn(extent.East), ScreenRow(extent.South)};
}

bool PickView::MapGrid(const ListChoices& choices, MapRequest& request, TileGrid& grid) const
{
    return BuildTileGrid(choices, m_point.Latitude, m_point.Longitude, request, grid);
}

PickView::Rect PickView::GridRect(const TileGrid& grid) const
{
    return {ScreenColumn(grid.BottomLeft.Easting), ScreenRow(grid.BottomLeft.Northing + grid.HeightMetres),
            ScreenColumn(grid.BottomLeft.Easting + grid.WidthMetres), ScreenRow(grid.BottomLeft.Northing)};
}
