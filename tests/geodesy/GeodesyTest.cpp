#include "Geodesy.h"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

namespace {

// Rows the program's users meet, and any number as an index: rounded to the nearest row, halves
// to even; outside the table it throws. WGS-84's minor axis is the program's own, not the textbook's.
TEST(GeodesyCatalogue, NamedRowsAndIndexRounding)
{
    const Geodesy g;
    const struct { double Index; const char* Name; double Major, Minor; } ellipsoids[] = {
        {1, "Airy", 6377563.396, 6356256.909}, {2.5, "Airy Modified", 6377340.189, 6356036.205},
        {3.5, "Bessel 1841", 6377397.155, 6356078.963}, {5, "Clark 1866 - NAD27", 6378206.4, 6356583.8},
        {13, "Geodetic Reference 1980", 6378137.0, 6356752.314}, {16, "International", 6378388.0, 6356911.946},
        {22.5, "WGS-84", 6378137.0, 6356750.321},
    };
    ASSERT_EQ(g.Choices(), 22);
    for (const auto& e : ellipsoids)
        EXPECT_EQ(std::tuple(g.ename(e.Index), g.eMajor(e.Index), g.eMinor(e.Index)), std::tuple(e.Name, e.Major, e.Minor))
            << e.Index;
    const struct { double Row; const char* Name; int16_t Ellipsoid; } datums[] = {
        {1, "Adindan", 6}, {5, "ARC 1950", 6}, {28, "European 1950", 16}, {61, "NAD27 Conus", 5},
        {61.5, "NAD27 Cuba", 5}, {62.5, "NAD27 Cuba", 5}, {66, "NAD83", 13}, {75, "Ord Survey G. Britian 1936", 1},
        {102, "WGS 1984", 22}, {103, "Zanderij", 16}};
    ASSERT_EQ(g.DChoices(), 103);
    for (const auto& d : datums)
        EXPECT_EQ(std::tuple(g.dName(d.Row), g.dNumber(d.Row)), std::tuple(d.Name, d.Ellipsoid)) << d.Row;
    for (int row = 1; row <= 103; ++row)  // every datum names an ellipsoid of the table
        EXPECT_TRUE(g.dNumber(row) >= 1 && g.dNumber(row) <= 22 && !g.dName(row).empty()) << row;

    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    for (double i : {0.5, 23.0, 22.5000001, inf, nan}) {
        EXPECT_THROW(g.eMajor(i), std::out_of_range) << i;
        EXPECT_THROW(g.eMinor(i), std::out_of_range) << i;
        EXPECT_THROW(g.ename(i), std::out_of_range) << i;
    }
    for (double i : {0.0, 103.5, -inf, nan}) {
        EXPECT_THROW(g.dName(i), std::out_of_range) << i;
        EXPECT_THROW(g.dNumber(i), std::out_of_range) << i;
    }
}

}  // namespace
