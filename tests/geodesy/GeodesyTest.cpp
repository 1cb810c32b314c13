#include "Geodesy.h"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

namespace {

// Every ellipsoid as the catalogue lists it, the datum rows the program's users know best, and
// any number as an index: rounded to the nearest row, halves to even; outside the table it throws.
TEST(GeodesyCatalogue, EllipsoidsDatumsAndIndexRounding)
{
    const Geodesy g;
    const struct { const char* Name; double Major, Minor; } ellipsoids[] = {
        {"Airy", 6377563.396, 6356256.909}, {"Airy Modified", 6377340.189, 6356036.205},
        {"Australian", 6378160.0, 6356774.719}, {"Bessel 1841", 6377397.155, 6356078.963},
        {"Clark 1866 - NAD27", 6378206.4, 6356583.8}, {"Clarke 1880", 6378249.145, 6356514.87},
        {"Everest", 6377276.345, 6356075.413}, {"Everest Modified", 6377304.063, 6356103.039},
        {"Fischer 1960", 6378166.0, 6356784.284}, {"Fischer 1960 Modified", 6378155.0, 6356773.32},
        {"Fischer 1968", 6378150.0, 6356768.337}, {"Geodetic Reference 1967", 6378160.0, 6356774.516},
        {"Geodetic Reference 1980", 6378137.0, 6356752.314}, {"Helmert", 6378200.0, 6356818.17},
        {"Hough", 6378270.0, 6356794.343}, {"International", 6378388.0, 6356911.946},
        {"Krassovsky", 6378245.0, 6356863.019}, {"South American 1969", 6378160.0, 6356778.304},
        {"WGS-60", 6378165.0, 6356783.287}, {"WGS-66", 6378145.0, 6356759.769},
        {"WGS-72", 6378135.0, 6356750.52}, {"WGS-84", 6378137.0, 6356750.321},
    };
    ASSERT_EQ(g.Choices(), 22);
    for (const auto& [index, row] : {std::pair{1.0, 1}, {2.5, 2}, {3.5, 4}, {13.0, 13}, {22.0, 22}, {22.5, 22}}) {
        const auto& e = ellipsoids[row - 1];
        EXPECT_EQ(std::tuple(g.ename(index), g.eMajor(index), g.eMinor(index)), std::tuple(e.Name, e.Major, e.Minor))
            << index;
    }
    for (int row = 1; row <= 22; ++row)
        EXPECT_EQ(std::tuple(g.ename(row), g.eMajor(row), g.eMinor(row)),
                  std::tuple(ellipsoids[row - 1].Name, ellipsoids[row - 1].Major, ellipsoids[row - 1].Minor));
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
