#include "Mapstuff.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

using namespace Mapstuff;

constexpr int16_t kWgs84 = 22;
constexpr int16_t kClarke1866 = 5;

UtmPoint PointAt(double latitude, double longitude, int16_t ellipsoid = kWgs84)
{
    UtmPoint point;
    point.Latitude = latitude;
    point.Longitude = longitude;
    point.EllipsoidIndex = ellipsoid;
    return point;
}

// A record with every field set to a value no conversion would produce, to see what was written.
UtmPoint MarkedPoint(double latitude, double longitude, int16_t ellipsoid)
{
    UtmPoint point = PointAt(latitude, longitude, ellipsoid);
    point.Northing = -1.25;
    point.Easting = -2.5;
    point.Zone = -7;
    point.Band = "marker";
    point.CentralMeridian = -3.75;
    point.Convergence = -4.5;
    point.ScaleFactor = -5.25;
    return point;
}

void ExpectSameRecord(const UtmPoint& actual, const UtmPoint& expected)
{
    EXPECT_EQ(actual.Latitude, expected.Latitude);
    EXPECT_EQ(actual.Longitude, expected.Longitude);
    EXPECT_EQ(actual.EllipsoidIndex, expected.EllipsoidIndex);
    EXPECT_EQ(actual.Northing, expected.Northing);
    EXPECT_EQ(actual.Easting, expected.Easting);
    EXPECT_EQ(actual.Zone, expected.Zone);
    EXPECT_EQ(actual.Band, expected.Band);
    EXPECT_EQ(actual.CentralMeridian, expected.CentralMeridian);
    EXPECT_EQ(actual.Convergence, expected.Convergence);
    EXPECT_EQ(actual.ScaleFactor, expected.ScaleFactor);
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
    EXPECT_EQ(point.Latitude, 40.0);
    EXPECT_EQ(point.Longitude, -107.5);

    ASSERT_EQ(UtmToLatLong(point), UtmOk);
    EXPECT_NEAR(point.Latitude, 40.0, 1e-8);
    EXPECT_NEAR(point.Longitude, -107.5, 1e-8);
    EXPECT_EQ(point.CentralMeridian, -105.0);
    // The inverse reports the convergence with the opposite sign.
    EXPECT_NEAR(point.Convergence, 1.6075748, 1e-6);
}

TEST(LatLongToUtm, WorkedExampleSouthOfTheEquatorIncludesTheFalseNorthing)
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
// Clarke 1866, 40°30' N 73°30' W, central meridian 75° W, gives x = 127106.5 m, y = 4484124.4 m,
// k = 0.9997989 (rounded there to 0.1 m).
TEST(LatLongToUtm, MatchesSnydersWorkedExampleOnClarke1866)
{
    UtmPoint point = PointAt(40.5, -73.5, kClarke1866);
    ASSERT_EQ(LatLongToUtm(point), UtmOk);
    EXPECT_EQ(point.Zone, 18);
    EXPECT_EQ(point.CentralMeridian, -75.0);
    EXPECT_NEAR(point.Easting, 500000 + 127106.5, 0.1);
    EXPECT_NEAR(point.Northing, 4484124.4, 0.1);
    EXPECT_NEAR(point.ScaleFactor, 0.9997989, 1e-7);

    point.Easting = 500000 + 127106.5;
    point.Northing = 4484124.4;
    ASSERT_EQ(UtmToLatLong(point), UtmOk);
    EXPECT_NEAR(point.Latitude, 40.5, 1e-6);
    EXPECT_NEAR(point.Longitude, -73.5, 1e-6);
}

TEST(LatLongToUtm, OnTheCentralMeridianTheGridIsTrue)
{
    UtmPoint point = PointAt(45.0, -93.0);
    ASSERT_EQ(LatLongToUtm(point), UtmOk);
    EXPECT_EQ(point.Zone, 15);
    EXPECT_EQ(point.CentralMeridian, -93.0);
    EXPECT_EQ(point.Easting, 500000.0);
    EXPECT_EQ(point.Convergence, 0.0);
    EXPECT_EQ(point.ScaleFactor, 0.9996);
}

struct ZoneCase {
    double Latitude;
    double Longitude;
    int16_t Zone;
    const char* Band;
    double CentralMeridian;
};

// Limits are tested after the trip through radians with the program's constants, so inputs that
// lie exactly on a limit land on the side these constants put them.
TEST(GetZoneAndBand, ZonesAndBandsAtTheirLimits)
{
    const ZoneCase cases[] = {
        {84.0, -100.0, 14, "X", -99},      // top of band X
        {84.0, 10.0, 33, "X", 15},         // comes back as 83.99999999999999: Svalbard rule
        {-80.0, -100.0, 14, "C", -99},     // bottom of band C
        {40.0, -107.5, 13, "T", -105},
        {0.0, 0.0, 31, "N", 3},
        {-0.5, 0.0, 31, "M", 3},
        {8.0, -100.0, 14, "P", -99},
        {-8.0, -100.0, 14, "L", -99},
        {72.0, -100.0, 14, "X", -99},
        {71.99, -100.0, 14, "W", -99},
        {-72.5, -100.0, 14, "C", -99},
        {45.0, -180.0, 1, "T", -177},
        {45.0, 180.0, 1, "T", -177},       // 180 east is 180 west
        {45.0, 179.99, 60, "T", 177},
        {45.0, -120.0, 10, "T", -123},     // comes back as -120.00000000000001
        {45.0, -114.0, 12, "T", -111},     // comes back exact
        {48.0, -100.0, 14, "U", -99},      // comes back exact
        {56.0, 5.0, 31, "U", 3},           // comes back as 55.99999999999999: no Norway rule
        {56.01, 5.0, 32, "V", 9},
        {60.0, 5.0, 32, "V", 9},           // southern Norway
        {60.0, 2.0, 31, "V", 3},
        {60.0, 12.0, 33, "V", 15},
        {64.0, 5.0, 32, "V", 9},           // comes back as 63.99999999999999
        {64.01, 5.0, 31, "W", 3},
        {75.0, 5.0, 31, "X", 3},           // Svalbard
        {75.0, 10.0, 33, "X", 15},
        {75.0, 25.0, 35, "X", 27},
        {75.0, 40.0, 37, "X", 39},
        {75.0, 43.0, 38, "X", 45},         // east of Svalbard the plain zone
        {75.0, -10.0, 29, "X", -9},
    };
    for (const ZoneCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Latitude << ", " << c.Longitude);
        ZoneInfo zone;
        zone.Latitude = c.Latitude;
        zone.Longitude = c.Longitude;
        ASSERT_EQ(GetZoneAndBand(zone), UtmOk);
        EXPECT_EQ(zone.Zone, c.Zone);
        EXPECT_EQ(zone.Band, c.Band);
        EXPECT_EQ(zone.CentralMeridian, c.CentralMeridian);
        EXPECT_EQ(zone.Latitude, c.Latitude);
        EXPECT_EQ(zone.Longitude, c.Longitude);
    }
}

TEST(GetZoneAndBand, LatitudeBeyondTheGridChangesNothing)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double Latitude;
        double Longitude;
    } cases[] = {
        {84.0001, 10.0}, {-80.0001, 10.0}, {89.0, -100.0}, {-85.0, 100.0},
        // Not a number, or no longitude a zone can be found for.
        {nan, -100.0}, {inf, -100.0}, {45.0, nan}, {45.0, -inf},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Latitude << ", " << c.Longitude);
        ZoneInfo zone;
        zone.Latitude = c.Latitude;
        zone.Longitude = c.Longitude;
        zone.Zone = 99;
        zone.Band = "marker";
        zone.CentralMeridian = 12.5;
        EXPECT_EQ(GetZoneAndBand(zone), UtmLatitudeOutOfRange);
        EXPECT_EQ(zone.Zone, 99);
        EXPECT_EQ(zone.Band, "marker");
        EXPECT_EQ(zone.CentralMeridian, 12.5);
    }
}

TEST(LatLongToUtm, FailuresLeaveThePointUntouched)
{
    const struct {
        double Latitude;
        double Longitude;
        int16_t Ellipsoid;
        int16_t Result;
    } cases[] = {
        {40.0, -107.5, 0, UtmBadEllipsoid},
        {40.0, -107.5, 23, UtmBadEllipsoid},
        {40.0, -107.5, -1, UtmBadEllipsoid},
        {84.0001, -107.5, kWgs84, UtmNoZone},
        {-80.0001, -107.5, kWgs84, UtmNoZone},
        {std::numeric_limits<double>::quiet_NaN(), -107.5, kWgs84, UtmNoZone},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Latitude << ", ellipsoid " << c.Ellipsoid);
        UtmPoint point = MarkedPoint(c.Latitude, c.Longitude, c.Ellipsoid);
        const UtmPoint before = point;
        EXPECT_EQ(LatLongToUtm(point), c.Result);
        if (std::isnan(c.Latitude))
            EXPECT_TRUE(std::isnan(point.Latitude));
        else
            ExpectSameRecord(point, before);
    }
}

TEST(UtmToLatLong, BadEllipsoidLeavesThePointUntouched)
{
    for (int16_t ellipsoid : {int16_t{0}, int16_t{23}, int16_t{-32768}}) {
        SCOPED_TRACE(ellipsoid);
        UtmPoint point = MarkedPoint(40.0, -107.5, ellipsoid);
        point.Easting = 286588.825;
        point.Northing = 4430748.855;
        point.Zone = 13;
        point.Band = "T";
        const UtmPoint before = point;
        EXPECT_EQ(UtmToLatLong(point), UtmBadEllipsoid);
        ExpectSameRecord(point, before);
    }
}

TEST(LatLongToUtm, ExtremeLatitudesConvert)
{
    for (double latitude : {84.0, -80.0}) {
        SCOPED_TRACE(latitude);
        UtmPoint point = PointAt(latitude, -100.0);
        ASSERT_EQ(LatLongToUtm(point), UtmOk);
        EXPECT_EQ(point.Zone, 14);
        EXPECT_EQ(point.Band, latitude > 0 ? "X" : "C");
        ASSERT_EQ(UtmToLatLong(point), UtmOk);
        EXPECT_NEAR(point.Latitude, latitude, 1e-8);
        EXPECT_NEAR(point.Longitude, -100.0, 1e-8);
    }
}

TEST(UtmToLatLong, TheBandChoosesTheHemisphere)
{
    const struct {
        const char* Band;
        bool South;
    } cases[] = {{"C", true}, {"H", true}, {"M", true}, {"N", false}, {"T", false}, {"X", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Band);
        UtmPoint point = PointAt(0, 0);
        point.Zone = 34;
        point.Band = c.Band;
        point.Easting = 500000;
        point.Northing = 9000000;  // 1000 km south of the equator in a southern band
        ASSERT_EQ(UtmToLatLong(point), UtmOk);
        if (c.South) {
            EXPECT_LT(point.Latitude, -8.9);
            EXPECT_GT(point.Latitude, -9.1);
        } else {
            EXPECT_GT(point.Latitude, 80.0);
        }
        EXPECT_EQ(point.Longitude, 21.0);
        EXPECT_EQ(point.CentralMeridian, 21.0);
    }
}

// A negative latitude too small to survive the trip through radians falls in band "N"; its
// northing must then carry no false northing, or the way back lands near the pole.
TEST(LatLongToUtm, LatitudeJustBelowTheEquatorComesBack)
{
    UtmPoint point = PointAt(-1e-20, -100.0);
    ASSERT_EQ(LatLongToUtm(point), UtmOk);
    EXPECT_EQ(point.Band, "N");
    EXPECT_LT(std::abs(point.Northing), 1.0);
    ASSERT_EQ(UtmToLatLong(point), UtmOk);
    EXPECT_NEAR(point.Latitude, 0.0, 1e-8);
    EXPECT_NEAR(point.Longitude, -100.0, 1e-8);
}

TEST(UtmToLatLong, AllEllipsoidsRoundTrip)
{
    for (int16_t ellipsoid = 1; ellipsoid <= 22; ++ellipsoid) {
        SCOPED_TRACE(ellipsoid);
        UtmPoint point = PointAt(-33.9, 18.4, ellipsoid);
        ASSERT_EQ(LatLongToUtm(point), UtmOk);
        ASSERT_EQ(UtmToLatLong(point), UtmOk);
        EXPECT_NEAR(point.Latitude, -33.9, 1e-8);
        EXPECT_NEAR(point.Longitude, 18.4, 1e-8);
    }
}

// Over the United States, where the program makes its maps, the way there and back agrees to
// 1e-8 degrees (about a millimetre) everywhere in a zone, its edges included.
TEST(UtmToLatLong, RoundTripsOverTheUnitedStates)
{
    constexpr double kTolerance = 1e-8;
    int points = 0;
    for (double latitude = 18.0; latitude <= 71.5; latitude += 0.5) {
        for (double longitude = -179.75; longitude <= -65.0; longitude += 0.25) {
            UtmPoint point = PointAt(latitude, longitude);
            ASSERT_EQ(LatLongToUtm(point), UtmOk);
            const int16_t zone = point.Zone;
            ASSERT_EQ(UtmToLatLong(point), UtmOk);
            EXPECT_EQ(point.Zone, zone);
            if (std::abs(point.Latitude - latitude) > kTolerance
                || std::abs(point.Longitude - longitude) > kTolerance) {
                ADD_FAILURE() << latitude << ", " << longitude << " came back as " << point.Latitude
                              << ", " << point.Longitude;
            }
            ++points;
        }
    }
    EXPECT_GT(points, 40000);
}

struct NumericCase {
    double Input;
    double Expected;
};

TEST(Mapstuff, FloatModTakesTheSignOfTheDivisor)
{
    EXPECT_EQ(FloatMod(7, 3), 1);
    EXPECT_EQ(FloatMod(-7, 3), 2);
    EXPECT_EQ(FloatMod(7, -3), -2);
    EXPECT_EQ(FloatMod(-7, -3), -1);
    EXPECT_EQ(FloatMod(6, 3), 0);
    EXPECT_EQ(FloatMod(-0.5, 2), 1.5);
}

TEST(Mapstuff, WrapsAndUnits)
{
    const double pi = 3.14159265358979;
    EXPECT_EQ(WrapLongitude(pi), -pi);              // half a turn east is half a turn west
    EXPECT_EQ(WrapLongitude(0.5), 0.5);
    EXPECT_NEAR(WrapLongitude(0.5 + 6.28318530717958), 0.5, 1e-15);
    EXPECT_NEAR(WrapLongitude(-0.5 - 2 * 6.28318530717958), -0.5, 1e-14);
    EXPECT_EQ(WrapLatitude(pi / 2), -pi / 2);
    EXPECT_NEAR(WrapLatitude(0.25), 0.25, 1e-16);
    EXPECT_EQ(DegToRad(1), 0.017453292519943278);
    EXPECT_EQ(RadToDeg(1), 57.29577951308238);
    EXPECT_EQ(DegToRad(180), 3.14159265358979);
    EXPECT_EQ(Square(-3), 9);
}

TEST(GetEllipsoid, FillsFromTheCatalogueOrLeavesTheRecord)
{
    Ellipsoid ellipsoid;
    ASSERT_EQ(GetEllipsoid(ellipsoid, 22), UtmOk);
    EXPECT_EQ(ellipsoid.EquatorialRadius, 6378137.0);
    EXPECT_EQ(ellipsoid.PolarRadius, 6356750.321);
    EXPECT_EQ(ellipsoid.Name, "WGS-84");

    for (int16_t index : {int16_t{0}, int16_t{23}, int16_t{-5}, int16_t{32767}}) {
        SCOPED_TRACE(index);
        Ellipsoid untouched{1.0, 2.0, "marker"};
        EXPECT_EQ(GetEllipsoid(untouched, index), UtmBadEllipsoid);
        EXPECT_EQ(untouched.EquatorialRadius, 1.0);
        EXPECT_EQ(untouched.PolarRadius, 2.0);
        EXPECT_EQ(untouched.Name, "marker");
    }
}

}  // namespace
