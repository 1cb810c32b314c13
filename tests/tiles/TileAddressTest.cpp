#include <gtest/gtest.h>

#include "TileAddress.h"

namespace {

// Each address to its query and file name and back; the extents by hand (side 200 * 2^(S-10) m).
TEST(TileAddress, RoundTripsThroughQueryAndFileNameUpToTheZoneEdges)
{
    const struct { TileAddress tile; const char *query, *fileName; double west, south, north; } cases[] = {
        {{1, 12, 13, 622, 5500}, "T=1&S=12&X=622&Y=5500&Z=13", "1-12-13-622-5500.JPG", 497600, 4400000, 4400800},
        {{2, 12, 13, 622, 5500}, "T=2&S=12&X=622&Y=5500&Z=13", "2-12-13-622-5500.GIF", 497600, 4400000, 4400800},
        {{1, 10, 1, 0, 0}, "T=1&S=10&X=0&Y=0&Z=1", "1-10-1-0-0.JPG", 0, 0, 200},
        {{1, 10, 60, 4999, 49999}, "T=1&S=10&X=4999&Y=49999&Z=60", "1-10-60-4999-49999.JPG", 999800, 9999800, 1e7},
        {{2, 19, 60, 9, 97}, "T=2&S=19&X=9&Y=97&Z=60", "2-19-60-9-97.GIF", 921600, 9932800, 10035200},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.query);
        EXPECT_EQ(TileQuery(c.tile), c.query);
        const TileQueryResult parsed = ParseTileQuery(c.query);
        EXPECT_TRUE(parsed.Ok) << parsed.Error;
        EXPECT_EQ(parsed.Tile, c.tile);
        EXPECT_EQ(TileFileName(c.tile, ServedFormat(c.tile.Type)), c.fileName);
        const std::optional<TileFile> file = ParseTileFileName(c.fileName);
        EXPECT_TRUE(file && file->Tile == c.tile && file->Format == ServedFormat(c.tile.Type));
        const TileExtent extent = ExtentOf(c.tile);
        EXPECT_EQ(std::tie(extent.West, extent.South, extent.North), std::tie(c.west, c.south, c.north));
        EXPECT_EQ(extent.East - extent.West, double(TileMetres(c.tile.Scale)));
    }
}

TEST(TileAddress, OneTileBeyondTheZoneAndForeignNamesAreRefused)
{
    EXPECT_EQ(ParseTileQuery("T=1&S=19&X=17&Y=0&Z=1").Error,
              "Tile X=17 lies beyond the zone at this scale (easting 1740800 m).");
    EXPECT_EQ(ParseTileQuery("T=1&S=10&X=0&Y=51052&Z=1").Error,
              "Tile Y=51052 lies beyond the zone at this scale (northing 10210400 m).");
    // The last tile the largest map can reach, and the first one past it.
    EXPECT_TRUE(ParseTileQuery("T=1&S=10&X=8521&Y=51051&Z=1").Ok);
    EXPECT_FALSE(ParseTileQuery("T=1&S=10&X=8522&Y=0&Z=1").Ok);
    for (const char* name : {"1-19-1-17-0.JPG", "1-10-1-0-51052.GIF", "1-10-61-0-0.JPG", "1-12-13-622-5500.jpg",
                             "01-12-13-622-5500.JPG", "1-12-13-622.JPG", "1-12-13-622-5500-1.JPG", "1-12-13--5500.JPG",
                             "1-12-13-622-5500.JPG.part", ".GIF"})
        EXPECT_FALSE(ParseTileFileName(name).has_value()) << name;
    EXPECT_EQ(FormatOfBody("GIF89a"), TileFormat::Gif);
    EXPECT_EQ(FormatOfBody("gif89a"), TileFormat::Jpeg);
}

}  // namespace
