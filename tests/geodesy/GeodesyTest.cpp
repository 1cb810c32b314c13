#include "Geodesy.h"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

namespace {

TEST(GeodesyCatalogue, RowsReadAsTabled)
{
    const Geodesy catalogue;
    EXPECT_EQ(catalogue.Choices(), 22);
    EXPECT_EQ(catalogue.DChoices(), 103);

    // Any number is an index: rounded to the nearest row, halves to even.
    const struct { double Index; const char* Name; double Major, Minor; } ellipsoids[] = {
        {1, "Airy", 6377563.396, 6356256.909},
        {5, "Clark 1866 - NAD27", 6378206.4, 6356583.8},
        {13, "Geodetic Reference 1980", 6378137.0, 6356752.314},
        {22, "WGS-84", 6378137.0, 6356750.321},
        {1.5, "Airy Modified", 6377340.189, 6356036.205},
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

    const struct { double Index; const char* Name; int16_t Ellipsoid; } datums[] = {
        {1, "Adindan", 6},
        {61, "NAD27 Conus", 5},
        {62, "NAD27 Cuba", 5},
        {61.5, "NAD27 Cuba", 5},
        {62.5, "NAD27 Cuba", 5},
        {66, "NAD83", 13},
        {67, "*Nahrwn Masirah Island", 6},
        {75, "Ord Survey G. Britian 1936", 1},
        {92, "Southeast Base - Maderia", 16},
        {98, "Wake-Eniwetok 1960", 15},
        {102, "WGS 1984", 22},
        {103, "Zanderij", 16},
    };
    for (const auto& c : datums) {
        SCOPED_TRACE(c.Index);
        EXPECT_EQ(catalogue.dName(c.Index), c.Name);
        EXPECT_EQ(catalogue.dNumber(c.Index), c.Ellipsoid);
    }
}

TEST(GeodesyCatalogue, IndexOutsideTheTableIsARangeError)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const Geodesy catalogue;
    for (double index : {0.0, 0.5, 23.0, 22.5000001, -1.0, 1e300, inf, nan}) {
        SCOPED_TRACE(index);
        EXPECT_THROW(catalogue.eMajor(index), std::out_of_range);
        EXPECT_THROW(catalogue.eMinor(index), std::out_of_range);
        EXPECT_THROW(catalogue.ename(index), std::out_of_range);
    }
    for (double index : {0.0, 104.0, 103.5, -inf, nan}) {
        SCOPED_TRACE(index);
        EXPECT_THROW(catalogue.dName(index), std::out_of_range);
        EXPECT_THROW(catalogue.dNumber(index), std::out_of_range);
    }
}

}  // namespace
