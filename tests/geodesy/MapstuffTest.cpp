#include "Mapstuff.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>

namespace {

using namespace Mapstuff;

constexpr int16_t kWgs84 = 22;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

UtmPoint PointAt(double latitude, double longitude, int16_t ellipsoid)
{
    UtmPoint point;
    std::tie(point.Latitude, point.Longitude, point.EllipsoidIndex) = std::tie(latitude, longitude, ellipsoid);
    return point;
}

// NaN in a column: not checked. The last row is Snyder's worked example (USGS Professional
// Paper 1395) on Clarke 1866.
TEST(LatLongToUtm, WorkedExamplesAndTheWayBack)
{
    const struct {
        double Latitude, Longitude; int16_t Ellipsoid, Zone; const char* Band;
        double Meridian, Easting, Northing, Tolerance, Scale, ScaleTolerance, Convergence;
    } cases[] = {
        {40.0, -107.5, kWgs84, 13, "T", -105, 286588.825, 4430748.855, 5e-4, 1.000160663, 5e-10, -1.6075748},
        {-33.9, 18.4, kWgs84, 34, "H", 21, 259583.198, 6245890.015, 5e-4, kNaN, 0, kNaN},
        {40.5, -73.5, 5, 18, "T", -75, 500000 + 127106.5, 4484124.4, 0.1, 0.9997989, 1e-7, kNaN},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Latitude << ", " << c.Longitude);
        UtmPoint point = PointAt(c.Latitude, c.Longitude, c.Ellipsoid);
        ASSERT_EQ(LatLongToUtm(point), UtmOk);
        EXPECT_EQ(point.Zone, c.Zone);
        EXPECT_EQ(point.Band, c.Band);
        EXPECT_EQ(point.CentralMeridian, c.Meridian);
        EXPECT_NEAR(point.Easting, c.Easting, c.Tolerance);
        EXPECT_NEAR(point.Northing, c.Northing, c.Tolerance);
        if (!std::isnan(c.Scale)) { EXPECT_NEAR(point.ScaleFactor, c.Scale, c.ScaleTolerance); }
        if (!std::isnan(c.Convergence)) { EXPECT_NEAR(point.Convergence, c.Convergence, 5e-8); }

        ASSERT_EQ(UtmToLatLong(point), UtmOk);
        EXPECT_NEAR(point.Latitude, c.Latitude, 1e-8);
        EXPECT_NEAR(point.Longitude, c.Longitude, 1e-8);
        if (!std::isnan(c.Convergence)) { EXPECT_NEAR(point.Convergence, -c.Convergence, 1e-6); }
    }
}

// Limits are tested after the trip through radians with the program's constants, so an input
// exactly on a limit lands on the side these constants put it.
TEST(GetZoneAndBand, ZonesAndBandsAtTheirLimits)
{
    const struct { double Latitude, Longitude; int16_t Zone; const char* Band; double Meridian; } cases[] = {
        {84.0, -100.0, 14, "X", -99},      // top of band X
        {84.0, 10.0, 33, "X", 15},         // comes back as 83.99999999999999: Svalbard rule
        {-80.0, -100.0, 14, "C", -99},     // bottom of band C
        {-0.5, 0.0, 31, "M", 3},
        {72.0, -100.0, 14, "X", -99},
        {45.0, -180.0, 1, "T", -177},
        {45.0, 180.0, 1, "T", -177},       // 180 east is 180 west
        {45.0, 179.99, 60, "T", 177},
        {45.0, -120.0, 10, "T", -123},     // comes back as -120.00000000000001
        {56.0, 5.0, 31, "U", 3},           // comes back as 55.99999999999999: no Norway rule
        {60.0, 5.0, 32, "V", 9},           // southern Norway
        {64.0, 5.0, 32, "V", 9},           // comes back as 63.99999999999999
        {75.0, 5.0, 31, "X", 3},           // Svalbard
        {75.0, 40.0, 37, "X", 39},
        {75.0, 43.0, 38, "X", 45},         // east of Svalbard the plain zone
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Latitude << ", " << c.Longitude);
        ZoneInfo zone{c.Latitude, c.Longitude, 0, "", 0};
        ASSERT_EQ(GetZoneAndBand(zone), UtmOk);
        EXPECT_EQ(zone.Zone, c.Zone);
        EXPECT_EQ(zone.Band, c.Band);
        EXPECT_EQ(zone.CentralMeridian, c.Meridian);
        EXPECT_EQ(zone.Latitude, c.Latitude);
    }
}

// Beyond the grid, not a number, or no longitude a zone can be found for.
TEST(GetZoneAndBand, NoZoneChangesNothing)
{
    const double inf = std::numeric_limits<double>::infinity();
    const struct { double Latitude, Longitude; } cases[] = {
        {84.0001, 10.0}, {-80.0001, 10.0}, {kNaN, -100.0}, {inf, -100.0}, {45.0, kNaN}, {45.0, -inf},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Latitude << ", " << c.Longitude);
        ZoneInfo zone{c.Latitude, c.Longitude, 99, "marker", 12.5};
        EXPECT_EQ(GetZoneAndBand(zone), UtmLatitudeOutOfRange);
        EXPECT_EQ(zone.Zone, 99);
        EXPECT_EQ(zone.Band, "marker");
        EXPECT_EQ(zone.CentralMeridian, 12.5);
    }
}

TEST(Conversions, FailuresLeaveThePointUntouched)
{
    const auto fields = [](const UtmPoint& p) {
        return std::tie(p.Latitude, p.Longitude, p.EllipsoidIndex, p.Northing, p.Easting, p.Zone,
                        p.Band, p.CentralMeridian, p.Convergence, p.ScaleFactor);
    };
    const struct { bool Forward; double Latitude; int16_t Ellipsoid; int16_t Result; } cases[] = {
        {true, 40.0, 0, UtmBadEllipsoid},  {true, 40.0, 23, UtmBadEllipsoid},
        {true, 84.0001, kWgs84, UtmNoZone}, {true, -80.0001, kWgs84, UtmNoZone},
        {true, kNaN, kWgs84, UtmNoZone},   {false, 40.0, 0, UtmBadEllipsoid},
        {false, 40.0, 23, UtmBadEllipsoid}, {false, 40.0, -32768, UtmBadEllipsoid},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Forward << ", " << c.Latitude << ", " << c.Ellipsoid);
        UtmPoint point{c.Latitude, -107.5, c.Ellipsoid, 4430748.855, 286588.825, 13, "T", -3.75, -4.5, -5.25};
        const UtmPoint before = point;
        EXPECT_EQ(c.Forward ? LatLongToUtm(point) : UtmToLatLong(point), c.Result);
        if (!std::isnan(c.Latitude)) { EXPECT_TRUE(fields(point) == fields(before)); }
    }
}

// Only the band tells the way back the hemisphere: northing 9000000 lies 1000 km (about 9
// degrees) south of the equator in a southern band, near the pole in a northern one.
TEST(UtmToLatLong, TheBandChoosesTheHemisphere)
{
    for (const char* band : {"C", "M", "N", "X"}) {
        UtmPoint point{0, 0, kWgs84, 9000000, 500000, 34, band, 0, 0, 0};
        ASSERT_EQ(UtmToLatLong(point), UtmOk);
        EXPECT_NEAR(point.Latitude, std::string(band) < "N" ? -9.0 : 81.0, 0.5) << band;
    }
}

// A negative latitude too small to survive the trip through radians falls in band "N"; its
// northing must then carry no false northing, or the way back lands near the pole.
TEST(LatLongToUtm, LatitudeJustBelowTheEquatorComesBack)
{
    UtmPoint point = PointAt(-1e-20, -100.0, kWgs84);
    ASSERT_EQ(LatLongToUtm(point), UtmOk);
    EXPECT_EQ(point.Band, "N");
    ASSERT_EQ(UtmToLatLong(point), UtmOk);
    EXPECT_NEAR(point.Latitude, 0.0, 1e-8);
}

// Over the United States the way there and back agrees to 1e-8 degrees, zone edges included.
TEST(UtmToLatLong, RoundTripsOverTheUnitedStates)
{
    for (double latitude = 18.0; latitude <= 71.5; latitude += 0.5) {
        for (double longitude = -179.75; longitude <= -65.0; longitude += 0.25) {
            UtmPoint point = PointAt(latitude, longitude, kWgs84);
            ASSERT_EQ(LatLongToUtm(point), UtmOk);
            ASSERT_EQ(UtmToLatLong(point), UtmOk);
            ASSERT_NEAR(point.Latitude, latitude, 1e-8) << longitude;
            ASSERT_NEAR(point.Longitude, longitude, 1e-8) << latitude;
        }
    }
}

TEST(Mapstuff, WrapsTakeTheSignOfTheDivisor)
{
    EXPECT_EQ(FloatMod(-7, 3), 2);
    EXPECT_EQ(FloatMod(7, -3), -2);
    EXPECT_EQ(WrapLongitude(3.14159265358979), -3.14159265358979);  // half a turn east is west
    EXPECT_NEAR(WrapLongitude(-0.5 - 2 * 6.28318530717958), -0.5, 1e-14);
    EXPECT_EQ(WrapLatitude(3.14159265358979 / 2), -3.14159265358979 / 2);
}

}  // namespace
