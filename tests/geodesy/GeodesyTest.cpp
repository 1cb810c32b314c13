#include "Geodesy.h"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

namespace {

// Any number is an index: rounded to the nearest row, halves to even; outside the table it throws.
TEST(GeodesyCatalogue, IndexesRoundHalfToEvenOrAreRangeErrors)
{
    const Geodesy catalogue;
    const struct { double Index; const char* Name; double Major, Minor; } ellipsoids[] = {
        {1, "Airy", 6377563.396, 6356256.909},
        {2.5, "Airy Modified", 6377340.189, 6356036.205},
        {3.5, "Bessel 1841", 6377397.155, 6356078.963},
        {22.5, "WGS-84", 6378137.0, 6356750.321},
    };
    for (const auto& c : ellipsoids) {
        SCOPED_TRACE(c.Index);
        EXPECT_EQ(catalogue.ename(c.Index), c.Name);
        EXPECT_EQ(catalogue.eMajor(c.Index), c.Major);
        EXPECT_EQ(catalogue.eMinor(c.Index), c.Minor);
    }
    EXPECT_EQ(catalogue.dName(61.5), "NAD27 Cuba");
    EXPECT_EQ(catalogue.dName(62.5), "NAD27 Cuba");
    EXPECT_EQ(catalogue.dNumber(103), 16);

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (double index : {0.5, 23.0, 22.5000001, -1.0, inf, nan}) {
        SCOPED_TRACE(index);
        EXPECT_THROW(catalogue.eMajor(index), std::out_of_range);
        EXPECT_THROW(catalogue.eMinor(index), std::out_of_range);
        EXPECT_THROW(catalogue.ename(index), std::out_of_range);
    }
    for (double index : {0.0, 103.5, -inf, nan}) {
        SCOPED_TRACE(index);
        EXPECT_THROW(catalogue.dName(index), std::out_of_range);
        EXPECT_THROW(catalogue.dNumber(index), std::out_of_range);
    }
}

}  // namespace
