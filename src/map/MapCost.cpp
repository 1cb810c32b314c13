#include "MapCost.h"

#include <algorithm>

#include "TileLibrary.h"

int MapCost::Seconds() const
{
    return (ToFetch() * FetchTickMilliseconds + 999) / 1000;
}

MapCost CountMapCost(const std::vector<TileAddress>& tiles, const QString& libraryFolder)
{
    MapCost cost;
    cost.Tiles = int(tiles.size());
    for (const TileAddress& tile : tiles)
        if (!FindLibraryTile(libraryFolder, tile).isEmpty())
            ++cost.InLibrary;
    return cost;
}

QString MapCostText(const MapCost& cost)
{
    return QStringLiteral("%1 tiles: %2 in the tile library, %3 to fetch (about %4 s)")
        .arg(cost.Tiles)
        .arg(cost.InLibrary)
        .arg(cost.ToFetch())
        .arg(cost.Seconds());
}

int SecondsLeft(int tilesDone, int tilesLeft, qint64 elapsedMilliseconds)
{
    if (tilesLeft <= 0)
        return 0;
    if (tilesDone <= 0)
        return -1;
    const qint64 milliseconds = std::max<qint64>(0, elapsedMilliseconds) * tilesLeft / tilesDone;
    return int(std::clamp<qint64>((milliseconds + 999) / 1000, 1, 24 * 3600));
}
