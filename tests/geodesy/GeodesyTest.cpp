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
        {3.5, "Bessel 1841", 6377397.155, 6356078.963}, {22.5, "WGS-84", 6378137.0, 6356750.321}};
    for (const auto& e : ellipsoids)
        EXPECT_EQ(std::tuple(g.ename(e.Index), g.eMajor(e.Index), g.eMinor(e.Index)), std::tuple(e.Name, e.Major, e.Minor))
            << e.Index;
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    for (double i : {0.5, 23.0, 22.5000001, inf, nan}) {
        EXPECT_THROW(g.eMajor(i), std::out_of_range) << i;
        EXPECT_THROW(g.eMinor(i), std::out_of_range) << i;
    }
}

}  // namespace
