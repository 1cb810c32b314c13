#pragma once

#include <cstdint>
#include <string>

// Latitude/longitude <-> UTM on any ellipsoid of the Geodesy catalogue.
// Transverse Mercator series after Snyder, "Map Projections: A Working Manual",
// USGS Professional Paper 1395 (1987). Angles cross this interface in degrees unless said.
namespace Mapstuff {

// One position carried both ways through the conversion; filled in place.
struct UtmPoint {
    double Latitude = 0;          // degrees, north positive
    double Longitude = 0;         // degrees, east positive; LatLongToUtm expects [-180, 180)
    int16_t EllipsoidIndex = 0;   // catalogue row 1..22
    double Northing = 0;          // metres, false northing 10000000 included in the south
    double Easting = 0;           // metres, false easting 500000 included
    int16_t Zone = 0;             // 1..60
    std::string Band;             // "C".."X"
    double CentralMeridian = 0;   // degrees
    double Convergence = 0;       // degrees
    double ScaleFactor = 0;       // point scale factor (forward conversion only)
};

struct ZoneInfo {
    double Latitude = 0;          // degrees
    double Longitude = 0;         // degrees
    int16_t Zone = 0;
    std::string Band;
    double CentralMeridian = 0;   // degrees
};

struct Ellipsoid {
    double EquatorialRadius = 0;  // metres
    double PolarRadius = 0;       // metres
    std::string Name;
};

inline constexpr int16_t UtmOk = 513;
inline constexpr int16_t UtmBadEllipsoid = 520;
inline constexpr int16_t UtmLatitudeOutOfRange = 530;
inline constexpr int16_t UtmNoZone = 531;

int16_t LatLongToUtm(UtmPoint& point);
int16_t UtmToLatLong(UtmPoint& point);
int16_t GetZoneAndBand(ZoneInfo& zone);
int16_t GetEllipsoid(Ellipsoid& ellipsoid, int16_t index);

// Forward conversion into one fixed northern zone, also for points beyond the zone's limits (a
// tile renderer converts every point of a tile into the tile's zone). Same series as LatLongToUtm;
// the catalogue is read once, at construction.
class ZoneProjector {
public:
    ZoneProjector(int16_t ellipsoidIndex, int16_t zone);
    bool Valid() const { return m_valid; }
    // Degrees in; metres out, false easting included, no false northing.
    void Forward(double latitude, double longitude, double& easting, double& northing) const;

private:
    double m_a = 0, m_e2 = 0, m_ep2 = 0;
    double m_centralMeridian = 0;
    bool m_valid = false;
};

double FloatMod(double x, double y);   // x - floor(x / y) * y
double WrapLatitude(double radians);   // into [-pi/2, pi/2)
double WrapLongitude(double radians);  // into [-pi, pi)
double DegToRad(double degrees);
double RadToDeg(double radians);
double Square(double x);

}  // namespace Mapstuff
