#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "MapCost.h"
#include "MapRequest.h"
#include "StatusLine.h"
#include "TestFiles.h"

namespace {

TEST(MapCost, CountsTheMapsTilesFoundInAPreparedTileLibrary)
{
    QTemporaryDir library;
    const QString folder = library.path() + QLatin1Char('/');
    // Of the 3 x 2 topographic map at X 622..624, Y 5498..5499: two stored, in either format;
    // another type's tile and a tile beside the map do not count.
    for (const char* name : {"2-12-13-622-5499.GIF", "2-12-13-624-5498.JPG", "1-12-13-623-5498.JPG",
                             "2-12-13-625-5498.JPG"})
        ASSERT_TRUE(WriteFile(folder + QLatin1String(name), QByteArray(200, 'x')));
    MapRequest request;
    request.TilesWide = 3;
    request.TilesHigh = 2;
    request.ImageType = 2;
    TileGrid grid;
    grid.ScaleCode = 12;
    grid.Zone = 13;
    grid.FirstTileX = 622;
    grid.FirstTileY = 5498;

    EXPECT_EQ(MapCostText(CountMapCost(GridTiles(request, grid), folder)),
              "6 tiles: 2 in the tile library, 4 to fetch (about 1 s)");
    MapCost big;
    big.Tiles = 64;
    big.InLibrary = 39;
    EXPECT_EQ(MapCostText(big), "64 tiles: 39 in the tile library, 25 to fetch (about 7 s)");
}

TEST(MapCost, TimeLeftFollowsTheRateSoFarOnTheStatusLine)
{
    const struct { int done, left; qint64 elapsed; int seconds; } cases[] = {
        {0, 25, 0, -1}, {6, 19, 1200, 4}, {6, 19, 0, 1}, {24, 1, 60000, 3}, {25, 0, 5000, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SecondsLeft(c.done, c.left, c.elapsed), c.seconds) << c.done << " " << c.left;

    StatusLineState state;
    state.Transfer = QStringLiteral("Request sent");
    state.Cost = MapCost{25, 0};
    state.Locator = QStringLiteral("CN87uo");
    EXPECT_EQ(LayOutStatusLine(state).Work, "25 tiles: 0 in the tile library, 25 to fetch (about 7 s)");
    state.Progress = QStringLiteral("tile 7 of 25");
    EXPECT_EQ(LayOutStatusLine(state).Work, "tile 7 of 25");
    state.SecondsLeft = 4;
    const StatusLineTexts texts = LayOutStatusLine(state);
    EXPECT_EQ(texts.Message, "Request sent");
    EXPECT_EQ(texts.Work, "tile 7 of 25, about 4 s left");
    EXPECT_EQ(texts.Locator, "Locator CN87uo");
}

}  // namespace
