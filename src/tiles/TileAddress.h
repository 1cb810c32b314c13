#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// One tile of the tile service, as the program asks for it and the server answers it:
// GET /tile.ashx?T=t&S=s&X=x&Y=y&Z=z. The tile covers, in UTM zone Z (north), eastings X*m to
// (X+1)*m and northings Y*m to (Y+1)*m, m = TileMetres(S). The tile library keeps it as
// "T-S-Z-X-Y.JPG" or ".GIF".
struct TileAddress {
    int Type = 1;     // T: 1 aerial photo, 2 topographic map
    int Scale = 10;   // S: 10..19, 2^(S-10) metres per pixel
    int Zone = 1;     // Z: UTM zone 1..60
    int64_t X = 0;    // easting index
    int64_t Y = 0;    // northing index

    friend auto operator<=>(const TileAddress&, const TileAddress&) = default;
};

// A tile is this many pixels each way.
inline constexpr int TileSidePixels = 200;

// Ground size of a tile side in metres: 200 pixels of 2^(scale-10) metres.
int64_t TileMetres(int scale);

// The tile's square in UTM metres of its zone.
struct TileExtent {
    double West = 0, South = 0, East = 0, North = 0;
};
TileExtent ExtentOf(const TileAddress& tile);

// Bounds a tile must keep so that it lies within what a northern UTM zone can reach.
inline constexpr int64_t kMaxEasting = 1'000'000;
inline constexpr int64_t kMaxNorthing = 10'000'000;

// "T=1&S=12&X=622&Y=5500&Z=13": the keys in exactly this order, plain decimal numbers.
std::string TileQuery(const TileAddress& tile);

struct TileQueryResult {
    bool Ok = false;
    TileAddress Tile;
    std::string Error;  // one line, for a 400 answer
};

// Reads the raw query text (after "?"). Each of T, S, X, Y, Z must occur once, as decimal digits,
// within range; other keys are ignored.
TileQueryResult ParseTileQuery(std::string_view query);

// How a tile's picture is encoded; the tile library names the file after it.
enum class TileFormat { Jpeg, Gif };

// The server's encoding for a type: GIF for topographic maps, JPEG for photos.
TileFormat ServedFormat(int type);
// A body beginning with "GIF" (exactly) is a GIF; anything else is taken for a JPEG.
TileFormat FormatOfBody(std::string_view body);

// "T-S-Z-X-Y" (note Z before X): the tile library's name without extension.
std::string TileFileStem(const TileAddress& tile);
// The stem with ".JPG" or ".GIF".
std::string TileFileName(const TileAddress& tile, TileFormat format);

struct TileFile {
    TileAddress Tile;
    TileFormat Format = TileFormat::Jpeg;
};
// The tile a library file name stands for; nothing for any other name or a tile out of range.
std::optional<TileFile> ParseTileFileName(std::string_view name);
