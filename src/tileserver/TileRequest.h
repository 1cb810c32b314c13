#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// One tile as the program asks for it: GET /tile.ashx?T=t&S=s&X=x&Y=y&Z=z. The tile covers, in UTM
// zone Z (north), eastings X*m to (X+1)*m and northings Y*m to (Y+1)*m, m = TileMetres(S).
struct TileRequest {
    int Type = 1;     // 1 aerial photo (JPEG), 2 topographic map (GIF)
    int Scale = 10;   // 10..19: 2^(S-10) metres per pixel
    int Zone = 1;     // 1..60
    int64_t X = 0;
    int64_t Y = 0;
};

// Ground size of a tile side in metres: 200 pixels of 2^(scale-10) metres.
int64_t TileMetres(int scale);

// The tile's square in UTM metres of its zone.
struct TileExtent {
    double West = 0, South = 0, East = 0, North = 0;
};
TileExtent ExtentOf(const TileRequest& tile);

// Bounds a tile must keep so that it lies within what a northern UTM zone can reach.
inline constexpr int64_t kMaxEasting = 1'000'000;
inline constexpr int64_t kMaxNorthing = 10'000'000;

struct TileQueryResult {
    bool Ok = false;
    TileRequest Tile;
    std::string Error;  // one line, for a 400 answer
};

// Reads the raw query text (after "?"). Each of T, S, X, Y, Z must occur once, as decimal digits,
// within range; other keys are ignored.
TileQueryResult ParseTileQuery(std::string_view query);

// "T-S-Z-X-Y.JPG" or ".GIF": the name the program's tile library uses for this tile.
std::string TileFileName(const TileRequest& tile);
