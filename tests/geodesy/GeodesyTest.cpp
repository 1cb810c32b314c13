#include "Geodesy.h"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

namespace {

// Any number is an index: rounded to the nearest row, halves to even; outside the table it throws.
TEST(GeodesyCatalogue, IndexesRoundHalfToEvenOrAreRangeErrors)
{
    const Geodesy g;
    const struct { double Index; const char* Name; double Major, Minor; } rows[] = {
        {1, "Airy", 6377563.396, 6356256.909}, {2.5, "Airy Modified", 6377340.189, 6356036.205},
        {3.5, "Bessel 1841", 6377397.155, 6356078.963}, {22.5, "WGS-84", 6378137.0, 6356750.321},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(g.ename(r.Index), r.Name) << r.Index;
        EXPECT_EQ(g.eMajor(r.Index), r.Major) << r.Index;
        EXPECT_EQ(g.eMinor(r.Index), r.Minor) << r.Index;
    }
    EXPECT_TRUE(g.dName(61.5) == "NAD27 Cuba" && g.dName(62.5) == "NAD27 Cuba");
    EXPECT_EQ(g.dNumber(103), 16);
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
