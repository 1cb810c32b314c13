#pragma once

#include <vector>

#include <QString>
#include <QtGlobal>

#include "TileAddress.h"

// What a map will cost before and while it downloads.

// The download asks the server for one tile per tick of this many milliseconds.
inline constexpr int FetchTickMilliseconds = 250;

struct MapCost {
    int Tiles = 0;
    int InLibrary = 0;   // found in the tile library (no request)
    int ToFetch() const { return Tiles - InLibrary; }
    // Seconds the requests take at one per tick, rounded up.
    int Seconds() const;
};

// Looks each tile up in the tile library (folder ending with "/") as the download would.
MapCost CountMapCost(const std::vector<TileAddress>& tiles, const QString& libraryFolder);

// "25 tiles: 10 in the tile library, 15 to fetch (about 4 s)".
QString MapCostText(const MapCost& cost);

// Seconds the tilesLeft should take at the rate of the tilesDone in elapsedMilliseconds, rounded
// up and at least 1; -1 when no tile is done yet to give a rate, 0 when none is left.
int SecondsLeft(int tilesDone, int tilesLeft, qint64 elapsedMilliseconds);
