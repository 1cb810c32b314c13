#include "Mapstuff.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>

namespace {

using namespace Mapstuff;

constexpr int16_t kWgs84 = 22;
constexpr int16_t kClarke1866 = 5;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

UtmPoint PointAt(double latitude, double longitude, int16_t ellipsoid = kWgs84)
{
    UtmPoint point;
    point.Latitude = latitude;
    point.Longitude = longitude;
    point.EllipsoidIndex = ellipsoid;
    return point;
}

auto Fields(const UtmPoint& p)
{
    return std::tie(p.Latitude, p.Longitude, p.EllipsoidIndex, p.Northing, p.Easting, p.Zone, p.Band,
                    p.CentralMeridian, p.Convergence, p.ScaleFactor);
}

TEST(LatLongToUtm, WorkedExampleInColorado)
{
    UtmPoint point = PointAt(40.0, -107.5);
    ASSERT_EQ(LatLongToUtm(point), UtmOk);
    EXPECT_EQ(point.Zone, 13);
    EXPECT_EQ(point.Band, "T");
    EXPECT_EQ(point.CentralMeridian, -105.0);
    EXPECT_NEAR(point.Easting, 286588.825, 0.0005);
    EXPECT_NEAR(point.Northing, 4430748.855, 0.0005);
    EXPECT_NEAR(point.ScaleFactor, 1.000160663, 5e-10);
    EXPECT_NEAR(point.Convergence, -1.6075748, 5e-8);

    ASSERT_EQ(UtmToLatLong(point), UtmOk);
    EXPECT_NEAR(point.Latitude, 40.0, 1e-8);
    EXPECT_NEAR(point.Longitude, -107.5, 1e-8);
    EXPECT_NEAR(point.Convergence, 1.6075748, 1e-6);  // the inverse reports the opposite sign
}

TEST(LatLongToUtm, WorkedExampleSouthOfTheEquator)
{
    UtmPoint point = PointAt(-33.9, 18.4);
    ASSERT_EQ(LatLongToUtm(point), UtmOk);
    EXPECT_EQ(point.Zone, 34);
    EXPECT_EQ(point.Band, "H");
    EXPECT_EQ(point.CentralMeridian, 21.0);
    EXPECT_NEAR(point.Easting, 259583.198, 0.0005);
    EXPECT_NEAR(point.Northing, 6245890.015, 0.0005);

    ASSERT_EQ(UtmToLatLong(point), UtmOk);
    EXPECT_NEAR(point.Latitude, -33.9, 1e-8);
    EXPECT_NEAR(point.Longitude, 18.4, 1e-8);
}

// Snyder, USGS Professional Paper 1395, worked example for the ellipsoidal Transverse Mercator:
// Clarke 1866, 40°30' N 73°30' W, central meridian 75° W: x = 127106.5 m, y = 4484124.4 m,
// k = 0.9997989.
TEST(LatLongToUtm, MatchesSnydersWorkedExampleOnClarke1866)
{
    UtmPoint point = PointAt(40.5, -73.5, kClarke1866);
    ASSERT_EQ(LatLongToUtm(point), UtmOk);
    EXPECT_EQ(point.CentralMeridian, -75.0);
    EXPECT_NEAR(point.Easting, 500000 + 127106.5, 0.1);
    EXPECT_NEAR(point.Northing, 4484124.4, 0.1);
    EXPECT_NEAR(point.ScaleFactor, 0.9997989, 1e-7);
}

TEST(LatLongToUtm, OnTheCentralMeridianTheGridIsTrue)
{
    UtmPoint point = PointAt(45.0, -93.0);
    ASSERT_EQ(LatLongToUtm(point), UtmOk);
    EXPECT_EQ(point.Easting, 500000.0);
    EXPECT_EQ(point.Convergence, 0.0);
    EXPECT_EQ(point.ScaleFactor, 0.9996);
}

// Limits are tested after the trip through radians with the program's constants, so an input
// exactly on a limit lands on the side these constants put it.
TEST(GetZoneAndBand, ZonesAndBandsAtTheirLimits)
{
    const struct { double Latitude, Longitude; int16_t Zone; const char* Band; double Meridian; } cases[] = {
        {84.0, -100.0, 14, "X", -99},      // top of band X
        {84.0, 10.0, 33, "X", 15},         // comes back as 83.99999999999999: Svalbard rule
        {-80.0, -100.0, 14, "C", -99},     // bottom of band C
        {0.0, 0.0, 31, "N", 3},
        {-0.5, 0.0, 31, "M", 3},
        {72.0, -100.0, 14, "X", -99},
        {71.99, -100.0, 14, "W", -99},
        {45.0, -180.0, 1, "T", -177},
        {45.0, 180.0, 1, "T", -177},       // 180 east is 180 west
        {45.0, 179.99, 60, "T", 177},
        {45.0, -120.0, 10, "T", -123},     // comes back as -120.00000000000001
        {45.0, -114.0, 12, "T", -111},     // comes back exact
        {48.0, -100.0, 14, "U", -99},      // comes back exact
        {56.0, 5.0, 31, "U", 3},           // comes back as 55.99999999999999: no Norway rule
        {60.0, 5.0, 32, "V", 9},           // southern Norway
        {60.0, 2.0, 31, "V", 3},
        {60.0, 12.0, 33, "V", 15},
        {64.0, 5.0, 32, "V", 9},           // comes back as 63.99999999999999
        {75.0, 5.0, 31, "X", 3},           // Svalbard
        {75.0, 10.0, 33, "X", 15},
        {75.0, 25.0, 35, "X", 27},
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

TEST(GetZoneAndBand, NoZoneChangesNothing)
{
    const double inf = std::numeric_limits<double>::infinity();
    // Beyond the grid, or not a number, or no longitude a zone can be found for.
    const struct { double Latitude, Longitude; } cases[] = {
        {84.0001, 10.0}, {-80.0001, 10.0}, {89.0, -100.0}, {kNaN, -100.0}, {inf, -100.0},
        {45.0, kNaN}, {45.0, -inf},
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
    const struct { bool Forward; double Latitude; int16_t Ellipsoid; int16_t Result; } cases[] = {
        {true, 40.0, 0, UtmBadEllipsoid},
        {true, 40.0, 23, UtmBadEllipsoid},
        {true, 84.0001, kWgs84, UtmNoZone},
        {true, -80.0001, kWgs84, UtmNoZone},
        {false, 40.0, 0, UtmBadEllipsoid},
        {false, 40.0, 23, UtmBadEllipsoid},
        {false, 40.0, -32768, UtmBadEllipsoid},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Forward << ", " << c.Latitude << ", " << c.Ellipsoid);
        UtmPoint point{c.Latitude, -107.5, c.Ellipsoid, 4430748.855, 286588.825, 13, "T", -3.75, -4.5, -5.25};
        const UtmPoint before = point;
        EXPECT_EQ(c.Forward ? LatLongToUtm(point) : UtmToLatLong(point), c.Result);
        EXPECT_TRUE(Fields(point) == Fields(before));
    }
    UtmPoint notANumber = PointAt(kNaN, -107.5);
    EXPECT_EQ(LatLongToUtm(notANumber), UtmNoZone);
}

TEST(UtmToLatLong, TheBandChoosesTheHemisphere)
{
    const struct { const char* Band; bool South; } cases[] = {
        {"C", true}, {"H", true}, {"M", true}, {"N", false}, {"T", false}, {"X", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Band);
        UtmPoint point = PointAt(0, 0);
        point.Zone = 34;
        point.Band = c.Band;
        point.Easting = 500000;
        point.Northing = 9000000;  // in a southern band 1000 km (about 9 degrees) south
        ASSERT_EQ(UtmToLatLong(point), UtmOk);
        if (c.South) {
            EXPECT_NEAR(point.Latitude, -9.0, 0.1);
        } else {
            EXPECT_GT(point.Latitude, 80.0);
        }
        EXPECT_EQ(point.Longitude, 21.0);
    }
}

// A negative latitude too small to survive the trip through radians falls in band "N"; its
// northing must then carry no false northing, or the way back lands near the pole.
TEST(LatLongToUtm, LatitudeJustBelowTheEquatorComesBack)
{
    UtmPoint point = PointAt(-1e-20, -100.0);
    ASSERT_EQ(LatLongToUtm(point), UtmOk);
    EXPECT_EQ(point.Band, "N");
    ASSERT_EQ(UtmToLatLong(point), UtmOk);
    EXPECT_NEAR(point.Latitude, 0.0, 1e-8);
}

// Over the United States, where the program makes its maps, the way there and back agrees to
// 1e-8 degrees (about a millimetre) everywhere in a zone, its edges included.
TEST(UtmToLatLong, RoundTripsOverTheUnitedStates)
{
    for (double latitude = 18.0; latitude <= 71.5; latitude += 0.5) {
        for (double longitude = -179.75; longitude <= -65.0; longitude += 0.25) {
            UtmPoint point = PointAt(latitude, longitude);
            ASSERT_EQ(LatLongToUtm(point), UtmOk);
            ASSERT_EQ(UtmToLatLong(point), UtmOk);
            if (std::abs(point.Latitude - latitude) > 1e-8 || std::abs(point.Longitude - longitude) > 1e-8)
                ADD_FAILURE() << latitude << ", " << longitude << " came back as " << point.Latitude
                              << ", " << point.Longitude;
        }
    }
}

TEST(Mapstuff, WrapsTakeTheSignOfTheDivisor)
{
    EXPECT_EQ(FloatMod(-7, 3), 2);
    EXPECT_EQ(FloatMod(7, -3), -2);
    EXPECT_EQ(FloatMod(-0.5, 2), 1.5);
    EXPECT_EQ(WrapLongitude(3.14159265358979), -3.14159265358979);  // half a turn east is west
    EXPECT_NEAR(WrapLongitude(-0.5 - 2 * 6.28318530717958), -0.5, 1e-14);
    EXPECT_EQ(WrapLatitude(3.14159265358979 / 2), -3.14159265358979 / 2);
}

TEST(GetEllipsoid, FillsFromTheCatalogueOrLeavesTheRecord)
{
    Ellipsoid ellipsoid;
    ASSERT_EQ(GetEllipsoid(ellipsoid, kWgs84), UtmOk);
    EXPECT_EQ(ellipsoid.EquatorialRadius, 6378137.0);
    EXPECT_EQ(ellipsoid.PolarRadius, 6356750.321);
    EXPECT_EQ(ellipsoid.Name, "WGS-84");

    for (int16_t index : {int16_t{0}, int16_t{23}, int16_t{32767}}) {
        Ellipsoid untouched{1.0, 2.0, "marker"};
        EXPECT_EQ(GetEllipsoid(untouched, index), UtmBadEllipsoid);
        EXPECT_EQ(untouched.Name, "marker");
        EXPECT_EQ(untouched.EquatorialRadius, 1.0);
    }
}

}  // namespace
