#pragma once

#include <cstdint>
#include <vector>

#include "MapTypes.h"
#include "Mapstuff.h"
#include "TileAddress.h"

// The overview of the "Pick on Map" dialog without any window: a view of w x h screen pixels
// on the UTM grid of one zone, one pixel being 2^(S - 10) metres, and the reference point in it.
// Screen coordinates are pixels from the view's top left corner, x to the right, y down; the
// view's centre lies at (w / 2, h / 2). The view is always in the reference point's zone.
class PickView {
public:
    static constexpr int16_t FirstScale = 10;   // 1 m/pixel
    static constexpr int16_t LastScale = 19;    // 512 m/pixel
    static constexpr int TilePixels = 200;

    struct Point {
        double X = 0;
        double Y = 0;
    };
    // A rectangle in whole screen pixels (right and bottom exclusive).
    struct Rect {
        int Left = 0;
        int Top = 0;
        int Right = 0;
        int Bottom = 0;
        bool operator==(const Rect&) const = default;
    };

    // Centres the view on the point (degrees, east positive) at a scale code (held to 10..19).
    // False when the point has no UTM zone; the view is then as it was.
    bool Open(double latitude, double longitude, int16_t scaleCode, int width, int height);
    void Resize(int width, int height);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int16_t ScaleCode() const { return m_scaleCode; }
    double MetresPerPixel() const;
    int16_t Zone() const { return m_point.Zone; }
    const std::string& Band() const { return m_point.Band; }   // the point's latitude band

    // Reference point: degrees, and metres in the view's zone.
    double PointLatitude() const { return m_point.Latitude; }
    double PointLongitude() const { return m_point.Longitude; }
    double PointEasting() const { return m_point.Easting; }
    double PointNorthing() const { return m_point.Northing; }
    double CentreEasting() const { return m_centreEasting; }
    double CentreNorthing() const { return m_centreNorthing; }

    Point UtmToScreen(double easting, double northing) const;
    Point ScreenToUtm(double x, double y) const;
    // False where the view's zone has no latitude/longitude.
    bool ScreenToLatLong(double x, double y, double& latitude, double& longitude) const;

    // One scale step or more (positive: coarser), held to 10..19; the ground under the anchor
    // pixel stays where it is. False when the scale did not change.
    bool StepScale(int steps, Point anchor);
    // Drag: the picture follows the pointer by dx, dy pixels.
    void Pan(double dx, double dy);

    // Click: the reference point goes to the ground under the pixel. Arrows: it moves dx pixels
    // east and dy north (in the view's zone). Both follow the point into another zone and
    // re-centre there; the view also follows a point that leaves it. False, with nothing
    // changed, for a place the latitude and longitude fields cannot hold (0..84 N, 0..180 W).
    bool SetPointAt(double x, double y);
    bool MovePoint(double eastPixels, double northPixels);

    // The tiles of an image type at the view's scale and zone that cover it, nearest the centre
    // first; none beyond what the tile server serves.
    std::vector<TileAddress> CoveringTiles(int imageType) const;
    // Where a tile of the view's zone, at any scale, lies on the screen.
    Rect TileRect(const TileAddress& tile) const;

    // The map a Download would make from the reference point with these lists, in the view's
    // zone; false when no grid could be built.
    bool MapGrid(const ListChoices& choices, MapRequest& request, TileGrid& grid) const;
    // A grid's rectangle on the screen, in the same whole pixels as TileRect.
    Rect GridRect(const TileGrid& grid) const;

private:
    bool TakePoint(const Mapstuff::UtmPoint& moved);
    void KeepPointInView();
    int ScreenColumn(double easting) const;
    int ScreenRow(double northing) const;

    Mapstuff::UtmPoint m_point;   // WGS-84; zone and band are the view's
    double m_centreEasting = 0;
    double m_centreNorthing = 0;
    int16_t m_scaleCode = FirstScale;
    int m_width = 1;
    int m_height = 1;
};
