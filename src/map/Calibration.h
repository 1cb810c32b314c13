#pragma once

#include <span>

#include <QByteArray>
#include <QString>

#include "MapTypes.h"

// The calibration files beside a saved map picture: the host's ".INF", and for GIS programs the
// world file (".JGW"), the projection (".PRJ"), a ground overlay for globes (".KML") and GDAL's
// auxiliary file (".JPG.aux.xml": GDAL reads a JPEG's projection from there only).

// What every calibration file is made from.
struct MapCorners {
    double WestLongitude = 0;   // degrees east positive; the grid's BottomLeft.Longitude
    double NorthLatitude = 0;   // TopRight.Latitude
    double EastLongitude = 0;   // TopRight.Longitude
    double SouthLatitude = 0;   // BottomLeft.Latitude
    TileGrid Grid;              // the picture is TilesWide * 200 by TilesHigh * 200 pixels of it
    QString PictureName;        // the picture's file name, beside the calibration files
    QString Description;
};

struct CalibrationWriter {
    const char* Suffix;   // after the map's base name
    bool GisFile;         // written only when GIS files are asked for
    // The file's bytes; empty when the map's corners cannot be converted.
    QByteArray (*Text)(const MapCorners& corners);
};

// ".INF", ".JGW", ".PRJ", ".KML", ".JPG.aux.xml", in that order:
// - ".INF": three lines in Windows-1252 with CR LF ends: west and north, east and south (as
//   FormatLatLong writes them), the description as HostText;
// - ".JGW": pixel size east, two rotation terms (0), pixel size north (negative), then the easting
//   and northing of the centre of the top left pixel, in the grid's UTM metres;
// - ".PRJ": the grid's UTM zone on the ellipsoid the program converts with, as WKT, radius and
//   inverse flattening to full double precision;
// - ".KML": a ground overlay of the picture whose gx:LatLonQuad corners are the picture's
//   corners: south-west, south-east, north-east, north-west;
// - ".JPG.aux.xml": the projection again.
std::span<const CalibrationWriter> CalibrationWriters();

// The description as the host can show it: control characters (tab, line breaks) become blanks.
QString HostText(const QString& description);

// "47.39.059N" and "122.21.074W".
void FormatLatLong(double latitude, double longitude, QString& latitudeText, QString& longitudeText);
