#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "TileAddress.h"

// FNV-1a of the bytes as 16 hexadecimal digits: stable across runs and machines.
std::string HashText(std::string_view bytes);

// Rendered tiles on disk, one folder per source, so a repeated request is a file read.
// Tiles are written beside their name and renamed when whole; failures are never stored.
class TileCache {
public:
    // An empty folder keeps nothing.
    explicit TileCache(std::string folder) : m_folder(std::move(folder)) {}

    // The tile's bytes, and when `modified` is given the time the file was written.
    std::optional<std::string> Read(const std::string& sourceKey, const TileAddress& tile, std::time_t* modified = nullptr) const;
    // False (and nothing left behind) when the tile could not be stored; the answer goes out anyway.
    bool Write(const std::string& sourceKey, const TileAddress& tile, const std::string& bytes) const;
    std::string PathOf(const std::string& sourceKey, const TileAddress& tile) const;

private:
    std::string m_folder;
};
