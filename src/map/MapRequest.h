#pragma once

#include <cstdint>
#include <vector>

#include <QString>

#include "MapForm.h"
#include "MapTypes.h"
#include "Prompter.h"
#include "TileAddress.h"

// From a press of "&Download" to the moment the download would start.

// Trimmed latitude text + "N/" + trimmed longitude text + " (centre)" or " (corner)".
QString DefaultDescription(const QString& latText, const QString& longText, bool referenceIsCentre);

// The larger of two numbers (b on equality).
double MaxValue(double a, double b);

// The resolution warning for an image type (1 or 2) and metres per pixel, or an empty text.
QString ResolutionWarning(int16_t imageType, int16_t metresPerPixel);

// Snaps a distance in metres to the nearest multiple of tileMetres (index returned); a
// remainder of exactly half a tile keeps the lower line.
int32_t SnapToGrid(double metres, int32_t tileMetres);

// a, b: longitudes (degrees, east positive) of the bottom left and top right corners. The
// warning that they lie in different UTM zones, or an empty text.
QString ZoneCrossingWarning(double a, double b);

// True to go on; asks OK/Cancel with ZoneCrossingWarning when there is one.
bool ConfirmZoneCrossing(double a, double b, Prompter& prompter);

// The map's geometry from the lists and the point, without any question: request (all but the
// description) and grid with both corners and the fetch cursor on the top left tile. False when
// a list is out of range or a conversion fails.
bool BuildTileGrid(const ListChoices& choices, double latitude, double longitude,
                   MapRequest& request, TileGrid& grid);

// The tile at a column (0 = west) and row (0 = south) of the map's grid.
TileAddress GridTile(const MapRequest& request, const TileGrid& grid, int column, int row);
// Every tile of the map in the order a download takes them: top row first, each west to east.
std::vector<TileAddress> GridTiles(const MapRequest& request, const TileGrid& grid);

// Fills request and grid from the lists and the point; true when the download
// should start (the caller then prepares the window). False after a refused warning or a failed
// conversion; request and grid may then hold partial values.
bool StartMapDownload(const ListChoices& choices, double latitude, double longitude,
                      Prompter& prompter, MapRequest& request, TileGrid& grid);

// A press of "&Download" while idle: checks the fields in order (first failure gets the focus),
// settles the description, then StartMapDownload. True when the download should start.
bool PressDownload(MapForm& form, Prompter& prompter, MapRequest& request, TileGrid& grid);
