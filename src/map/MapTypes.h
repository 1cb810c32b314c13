#pragma once

#include <cstdint>

#include <QString>

#include "Mapstuff.h"

// The list selections and option buttons of the main window that a map request reads.
struct ListChoices {
    int16_t ScaleIndex = 0;      // cmbScale: 2^i metres per pixel, i = 0..9
    int16_t WidthIndex = 4;      // cmbWidth: i + 1 tiles wide, i = 0..7
    int16_t HeightIndex = 4;     // cmbHeight: i + 1 tiles high, i = 0..7
    int16_t TypeIndex = 0;       // cmbType: 0 "DOQ photo", 1 "DRG topo"
    bool ReferenceIsCentre = true;  // optCentre set (else optCorner)
};

// The user's selection for one map.
struct MapRequest {
    double Latitude = 0;         // degrees, north positive
    double Longitude = 0;        // degrees, east positive (negative in the United States)
    bool ReferenceIsCentre = true;
    int16_t TilesWide = 1;       // 1..8
    int16_t TilesHigh = 1;       // 1..8
    int16_t ResolutionIndex = 0; // 0..9
    int16_t ImageType = 1;       // 1 DOQ photo, 2 DRG topo; also the tile service's theme code
    QString Description;
};

// The map geometry derived from one MapRequest; all distances in metres.
struct TileGrid {
    int16_t MetresPerPixel = 1;  // 1..512
    int16_t ScaleCode = 10;      // 10..19
    int32_t TileMetres = 200;    // ground size of one tile side
    int32_t WidthMetres = 0;
    int32_t HeightMetres = 0;
    int32_t FirstTileX = 0;      // easting index of the westernmost tile column
    int32_t FirstTileY = 0;      // northing index of the southernmost tile row
    int16_t Zone = 0;            // UTM zone of the reference point
    int16_t Row = 0;             // fetch cursor, counted from the bottom row
    int16_t Column = 0;          // fetch cursor, counted from the west column
    Mapstuff::UtmPoint BottomLeft;
    Mapstuff::UtmPoint TopRight;
};
