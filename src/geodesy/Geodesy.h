#pragma once

#include <cstdint>
#include <string>

// Read-only catalogue of 22 reference ellipsoids and 103 geodetic datums, rows numbered from 1.
// An index may be any number: it is rounded to the nearest whole number (halves to even) before
// the range test; an index outside the table throws std::out_of_range.
class Geodesy {
public:
    Geodesy();

    double eMajor(double index) const;       // equatorial radius a, metres
    double eMinor(double index) const;       // polar radius b, metres
    std::string ename(double index) const;   // ellipsoid name
    int16_t Choices() const;                 // number of ellipsoid rows (22)
    int16_t DChoices() const;                // number of datum rows (103)
    std::string dName(double index) const;   // datum name
    int16_t dNumber(double index) const;     // ellipsoid row (1..22) of the datum
};
