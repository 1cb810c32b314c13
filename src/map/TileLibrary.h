#pragma once

#include <cstdint>
#include <functional>

#include <QByteArray>
#include <QString>
#include <QUrl>

#include "TileAddress.h"

// The tile cache: one flat folder, one file per tile named T-S-Z-X-Y with ".GIF" or ".JPG"
// after the file's real content. Names and addresses are pure functions; storing is apart.

// folder (ending with "/") + "T-S-Z-X-Y", without extension.
QString TileFileBaseName(const QString& folder, const TileAddress& tile);

// The tile's file in the library folder: the ".GIF" one when it exists (whatever the type), else
// the ".JPG" one; empty when neither does or there is no folder.
QString FindLibraryTile(const QString& folder, const TileAddress& tile);

// server + "/tile.ashx?" + TileQuery(tile). The server is the base URL before "/tile.ashx?";
// a path of its own is kept.
QUrl TileUrl(const QUrl& server, const TileAddress& tile);

// A name ending in ".JPG" turned into the same name ending in ".GIF".
QString GifNameOf(const QString& jpgPath);

enum class StoreOutcome {
    Stored,       // the tile lies under its name (see StoredPath)
    TooShort,     // under 100 bytes: nothing kept
    NotWritten,   // the file could not be created, written or renamed: nothing kept
};

struct StoreResult {
    StoreOutcome Outcome = StoreOutcome::NotWritten;
    QString StoredPath;   // jpgPath, or its ".GIF" twin when the body starts with "GIF"
};

// Bodies shorter than this are error texts or nothing at all, never a tile.
inline constexpr qint64 MinimumTileBytes = 100;

// Writes a downloaded body, taken chunk by chunk from nextChunk until it returns an empty chunk,
// beside its final name and renames it when complete, so no half tile ever lies under a tile's
// name. A body beginning with "GIF" is stored under the ".GIF" twin of jpgPath.
StoreResult StoreTile(const QString& jpgPath, const std::function<QByteArray()>& nextChunk);

// True when the folder holds any file (subfolders do not count).
bool TileLibraryHasFiles(const QString& folder);

// Deletes every file of the folder (subfolders untouched). Returns how many files are still
// there because they could not be deleted.
int ClearTileLibraryFolder(const QString& folder);
