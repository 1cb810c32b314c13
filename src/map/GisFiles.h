#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include "MapTypes.h"

// Calibration files that GIS programs read, beside a saved map picture: the world file (".JGW"),
// the projection (".PRJ") and a ground overlay for globes (".KML"). All three come from the map's
// tile grid; the picture is TilesWide * 200 by TilesHigh * 200 pixels.

// Six lines: pixel size east, two rotation terms (0), pixel size north (negative), then the
// easting and northing of the centre of the top left pixel, in the grid's UTM metres.
QByteArray WorldFileText(const TileGrid& grid);

// The grid's UTM zone on the ellipsoid the program converts with, as WKT; radius and inverse
// flattening to full double precision. Empty when the ellipsoid is unknown.
QByteArray ProjectionText(const TileGrid& grid);

// A ground overlay of pictureName (a file name beside the ".KML") whose gx:LatLonQuad corners are
// the picture's corners: south-west, south-east, north-east, north-west. Empty when a corner
// cannot be converted.
QByteArray KmlText(const TileGrid& grid, const QString& pictureName, const QString& title);

// ".JGW", ".PRJ", ".KML" and GDAL's auxiliary file ".JPG.aux.xml" (the projection again: GDAL
// reads a JPEG's projection from there only).
const QStringList& GisFileSuffixes();

// The contents of each of GisFileSuffixes(), in that order, for the picture pictureName (a file
// name) made on grid. Empty, and the reason in error, when the map's corners cannot be converted.
QList<QByteArray> GisFileContents(const TileGrid& grid, const QString& pictureName, const QString& title,
                                  QString* error);

// Removes the GIS files of basePath: a picture saved over another must not keep the old one's
// placement.
void RemoveGisFiles(const QString& basePath);
