#include "Mapstuff.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>

namespace {

using namespace Mapstuff;

constexpr int16_t kWgs84 = 22;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

UtmPoint PointAt(double latitude, double longitude, int16_t ellipsoid = kWgs84)
{
    return UtmPoint{latitude, longitude, ellipsoid, 0, 0, 0, "", 0, 0, 0};
}

// NaN: not checked. The last row is Snyder's example (USGS Professional Paper 1395), Clarke 1866.
TEST(LatLongToUtm, WorkedExamplesAndTheWayBack)
{
    const struct { double Lat, Lon; int16_t Ellipsoid, Zone; const char* Band;
                   double Meridian, Easting, Northing, Tolerance, Scale, Convergence; } cases[] = {
        {40.0, -107.5, kWgs84, 13, "T", -105, 286588.825, 4430748.855, 5e-4, 1.000160663, -1.6075748},
        {-33.9, 18.4, kWgs84, 34, "H", 21, 259583.198, 6245890.015, 5e-4, kNaN, kNaN},
        {40.5, -73.5, 5, 18, "T", -75, 627106.5, 4484124.4, 0.1, 0.9997989, kNaN}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Lat << ", " << c.Lon);
        UtmPoint p = PointAt(c.Lat, c.Lon, c.Ellipsoid);
        ASSERT_EQ(LatLongToUtm(p), UtmOk);
        EXPECT_EQ(std::tie(p.Zone, p.Band, p.CentralMeridian), std::tie(c.Zone, c.Band, c.Meridian));
        EXPECT_NEAR(p.Easting, c.Easting, c.Tolerance);
        EXPECT_NEAR(p.Northing, c.Northing, c.Tolerance);
        if (!std::isnan(c.Scale)) { EXPECT_NEAR(p.ScaleFactor, c.Scale, 1e-7); }
        if (!std::isnan(c.Convergence)) { EXPECT_NEAR(p.Convergence, c.Convergence, 5e-8); }
        ASSERT_EQ(UtmToLatLong(p), UtmOk);
        EXPECT_NEAR(p.Latitude, c.Lat, 1e-8);
        EXPECT_NEAR(p.Longitude, c.Lon, 1e-8);
        if (!std::isnan(c.Convergence)) { EXPECT_NEAR(p.Convergence, -c.Convergence, 1e-6); }
    }
}

// Limits are met after the trip through radians, so an input on a limit lands where the
// program's constants put it: 84.0 at 10 E comes back as 83.99999999999999 (Svalbard rule),
// 56.0 as 55.99999999999999 (no Norway rule), -120.0 as -120.00000000000001. Beyond the grid, not
// a number, or no longitude a zone can be found for: nothing changes.
TEST(GetZoneAndBand, ZonesAndBandsAtTheirLimits)
{
    const double inf = std::numeric_limits<double>::infinity();
    const struct { double Lat, Lon; int16_t Zone; const char* Band; double Meridian; } cases[] = {
        {84.0, -100.0, 14, "X", -99}, {84.0, 10.0, 33, "X", 15}, {-80.0, -100.0, 14, "C", -99},
        {-0.5, 0.0, 31, "M", 3}, {45.0, -180.0, 1, "T", -177}, {45.0, 180.0, 1, "T", -177},
        {45.0, -120.0, 10, "T", -123}, {56.0, 5.0, 31, "U", 3}, {60.0, 5.0, 32, "V", 9}, {75.0, 5.0, 31, "X", 3},
        {84.0001, 10.0, 99, "marker", 12.5}, {-80.0001, 10.0, 99, "marker", 12.5}, {kNaN, -100.0, 99, "marker", 12.5},
        {inf, -100.0, 99, "marker", 12.5}, {45.0, -inf, 99, "marker", 12.5}};
    for (const auto& c : cases) {
        ZoneInfo z{c.Lat, c.Lon, 99, "marker", 12.5};
        EXPECT_EQ(GetZoneAndBand(z), c.Zone == 99 ? UtmLatitudeOutOfRange : UtmOk) << c.Lat << ", " << c.Lon;
        EXPECT_EQ(std::tie(z.Zone, z.Band, z.CentralMeridian), std::tie(c.Zone, c.Band, c.Meridian)) << c.Lat << ", " << c.Lon;
        EXPECT_TRUE(std::isnan(c.Lat) || z.Latitude == c.Lat) << c.Lat;
    }
}

TEST(Conversions, FailuresLeaveThePointUntouched)
{
    const auto fields = [](const UtmPoint& p) {
        return std::tie(p.Latitude, p.Longitude, p.EllipsoidIndex, p.Northing, p.Easting, p.Zone,
                        p.Band, p.CentralMeridian, p.Convergence, p.ScaleFactor);
    };
    const struct { bool Forward; double Lat; int16_t Ellipsoid, Result; } cases[] = {
        {true, 40.0, 0, UtmBadEllipsoid}, {true, 40.0, 23, UtmBadEllipsoid}, {true, 84.0001, kWgs84, UtmNoZone},
        {true, kNaN, kWgs84, UtmNoZone}, {false, 40.0, 0, UtmBadEllipsoid}, {false, 40.0, 23, UtmBadEllipsoid}};
    for (const auto& c : cases) {
        UtmPoint p{c.Lat, -107.5, c.Ellipsoid, 4430748.855, 286588.825, 13, "T", -3.75, -4.5, -5.25};
        const UtmPoint before = p;
        EXPECT_EQ(c.Forward ? LatLongToUtm(p) : UtmToLatLong(p), c.Result) << c.Forward << ", " << c.Lat;
        if (!std::isnan(c.Lat)) { EXPECT_TRUE(fields(p) == fields(before)); }
    }
}

// Only the band gives the hemisphere: northing 9000000 is about 9 S in a southern band and near
// the pole in a northern one. A negative latitude lost in the trip through radians falls in band
// "N"; its northing must carry no false northing, or the way back lands near the pole.
TEST(UtmToLatLong, TheBandChoosesTheHemisphere)
{
    for (const char* band : {"C", "M", "N", "X"}) {
        UtmPoint p{0, 0, kWgs84, 9000000, 500000, 34, band, 0, 0, 0};
        ASSERT_EQ(UtmToLatLong(p), UtmOk);
        EXPECT_NEAR(p.Latitude, std::string(band) < "N" ? -9.0 : 81.0, 0.5) << band;
    }
    UtmPoint p = PointAt(-1e-20, -100.0);
    ASSERT_EQ(LatLongToUtm(p), UtmOk);
    EXPECT_EQ(p.Band, "N");
    ASSERT_EQ(UtmToLatLong(p), UtmOk);
    EXPECT_NEAR(p.Latitude, 0.0, 1e-8);
}

// Over the United States the way there and back agrees to 1e-8 degrees, zone edges included.
TEST(UtmToLatLong, RoundTripsOverTheUnitedStates)
{
    for (double latitude = 18.0; latitude <= 71.5; latitude += 1.5) {
        for (double longitude = -179.75; longitude <= -65.0; longitude += 0.25) {
            UtmPoint p = PointAt(latitude, longitude);
            ASSERT_TRUE(LatLongToUtm(p) == UtmOk && UtmToLatLong(p) == UtmOk);
            ASSERT_NEAR(p.Latitude, latitude, 1e-8) << longitude;
            ASSERT_NEAR(p.Longitude, longitude, 1e-8) << latitude;
        }
    }
}

}  // namespace
