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

// Every ellipsoid row as the catalogue lists it, and the datum rows the program's users know best.
TEST(GeodesyCatalogue, HoldsEveryEllipsoidAndTheNamedDatums)
{
    const Geodesy g;
    const struct { const char* Name; double Major, Minor; } ellipsoids[] = {
        {"Airy", 6377563.396, 6356256.909},
        {"Airy Modified", 6377340.189, 6356036.205},
        {"Australian", 6378160.0, 6356774.719},
        {"Bessel 1841", 6377397.155, 6356078.963},
        {"Clark 1866 - NAD27", 6378206.4, 6356583.8},
        {"Clarke 1880", 6378249.145, 6356514.87},
        {"Everest", 6377276.345, 6356075.413},
        {"Everest Modified", 6377304.063, 6356103.039},
        {"Fischer 1960", 6378166.0, 6356784.284},
        {"Fischer 1960 Modified", 6378155.0, 6356773.32},
        {"Fischer 1968", 6378150.0, 6356768.337},
        {"Geodetic Reference 1967", 6378160.0, 6356774.516},
        {"Geodetic Reference 1980", 6378137.0, 6356752.314},
        {"Helmert", 6378200.0, 6356818.17},
        {"Hough", 6378270.0, 6356794.343},
        {"International", 6378388.0, 6356911.946},
        {"Krassovsky", 6378245.0, 6356863.019},
        {"South American 1969", 6378160.0, 6356778.304},
        {"WGS-60", 6378165.0, 6356783.287},
        {"WGS-66", 6378145.0, 6356759.769},
        {"WGS-72", 6378135.0, 6356750.52},
        {"WGS-84", 6378137.0, 6356750.321},
    };
    ASSERT_EQ(g.Choices(), 22);
    for (int row = 1; row <= 22; ++row) {
        const auto& e = ellipsoids[row - 1];
        EXPECT_EQ(g.ename(row), e.Name) << row;
        EXPECT_EQ(g.eMajor(row), e.Major) << row;
        EXPECT_EQ(g.eMinor(row), e.Minor) << row;
    }
    const struct { int Row; const char* Name; int16_t Ellipsoid; } datums[] = {
        {1, "Adindan", 6}, {5, "ARC 1950", 6}, {28, "European 1950", 16}, {61, "NAD27 Conus", 5},
        {62, "NAD27 Cuba", 5}, {66, "NAD83", 13}, {75, "Ord Survey G. Britian 1936", 1}, {102, "WGS 1984", 22},
        {103, "Zanderij", 16}};
    ASSERT_EQ(g.DChoices(), 103);
    for (const auto& d : datums) {
        EXPECT_EQ(g.dName(d.Row), d.Name) << d.Row;
        EXPECT_EQ(g.dNumber(d.Row), d.Ellipsoid) << d.Row;
    }
    for (int row = 1; row <= 103; ++row)  // every datum names an ellipsoid of the table
        EXPECT_TRUE(g.dNumber(row) >= 1 && g.dNumber(row) <= 22 && !g.dName(row).empty()) << row;
}

}  // namespace
