#pragma once

#include <cstdint>

#include <QString>

#include "MapTypes.h"

// Maidenhead grid-square locators: fields of 20 x 10 degrees (letters A..R), squares of
// 2 x 1 degrees (digits), subsquares of 5 x 2.5 minutes (letters A..X) and extended squares of
// 0.5 x 0.25 minutes (digits), longitude first, counted east from 180 W and north from 90 S.

// One grid square. Positions in thousandths of a minute of arc, east and north positive, so
// every edge of every square is a whole number.
struct LocatorSquare {
    QString Locator;        // normal form: "CN87", "CN87uo", "FN31pr47"
    int64_t West = 0;
    int64_t South = 0;
    int64_t Width = 0;
    int64_t Height = 0;

    double WestDegrees() const { return double(West) / 60000.0; }
    double EastDegrees() const { return double(West + Width) / 60000.0; }
    double SouthDegrees() const { return double(South) / 60000.0; }
    double NorthDegrees() const { return double(South + Height) / 60000.0; }
};

// Reads a locator of 4, 6 or 8 characters in any case; false when it is malformed.
bool ParseLocator(const QString& text, LocatorSquare& square);

// A locator's square for the coordinate fields, which hold north latitudes and west longitudes.
// Empty when it can be used; otherwise the message that says what is wrong with it.
QString LocatorRefusal(const QString& text, LocatorSquare& square);

// The locator (4, 6 or 8 characters) of the square holding a point in degrees, east and north
// positive. A point on the north or east edge of the world counts in the last square.
QString LocatorOf(double latitude, double longitude, int characters = 6);

// What the "Grid Locator" dialog puts into the window.
struct LocatorPlacement {
    QString LatitudeText;    // normal form, "47.30.00"
    QString LongitudeText;   // normal form, "123.00.00"
    bool Fitted = false;     // Lists holds a size and resolution that covers the square
    ListChoices Lists;       // the current lists, or the fitted ones
    QString Message;         // said to the user when not empty
};

// The square's centre (referenceIsCentre) or south-west corner in the fields' normal form.
// With fit, also Centre and the finest resolution, and the fewest tiles at it, whose map covers
// the whole square after snapping to the grid, computed with the map's own grid rules.
LocatorPlacement PlaceLocator(const LocatorSquare& square, bool fit, const ListChoices& current);

// The note that a square reaches a UTM zone edge (a corner falls in another zone), so its map is
// made in the zone of the square's centre; empty when the square lies in one zone.
QString ZoneEdgeNote(const LocatorSquare& square);

// The finest resolution and fewest tiles whose map, made from the point (degrees, east positive)
// as choices.ReferenceIsCentre says, covers the whole square; false (choices unchanged) when no
// choice does. keepScale and keepTiles hold the resolution or the tile counts as they are.
bool FitMapToSquare(const LocatorSquare& square, double latitude, double longitude,
                    ListChoices& choices, bool keepScale = false, bool keepTiles = false);
