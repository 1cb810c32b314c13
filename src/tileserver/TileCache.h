#pragma once

#include <optional>
#include <string>

#include "TileAddress.h"

// Rendered tiles on disk, one folder per source, so a repeated request is a file read.
// Tiles are written beside their name and renamed when whole; failures are never stored.
class TileCache {
public:
    // An empty folder keeps nothing.
    explicit TileCache(std::string folder) : m_folder(std::move(folder)) {}

    std::optional<std::string> Read(const std::string& sourceKey, const TileAddress& tile) const;
    // False (and nothing left behind) when the tile could not be stored; the answer goes out anyway.
    bool Write(const std::string& sourceKey, const TileAddress& tile, const std::string& bytes) const;
    std::string PathOf(const std::string& sourceKey, const TileAddress& tile) const;

private:
    std::string m_folder;
};
