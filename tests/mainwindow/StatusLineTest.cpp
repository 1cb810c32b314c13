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
    const MapRequest request{.TilesWide = 3, .TilesHigh = 2, .ImageType = 2, .Description = {}};
    const TileGrid grid{.ScaleCode = 12, .FirstTileX = 622, .FirstTileY = 5498, .Zone = 13, .BottomLeft = {}, .TopRight = {}};
    EXPECT_EQ(MapCostText(CountMapCost(GridTiles(request, grid), folder)),
              "6 tiles: 2 in the tile library, 4 to fetch (about 1 s)");
}

TEST(MapCost, TimeLeftFollowsTheRateSoFarOnTheStatusLine)
{
    const struct { int done, left; qint64 elapsed; int seconds; } cases[] = {
        {0, 25, 0, -1}, {6, 19, 1200, 4}, {6, 19, 0, 1}, {24, 1, 60000, 3}, {25, 0, 5000, 0}};
    for (const auto& c : cases) EXPECT_EQ(SecondsLeft(c.done, c.left, c.elapsed), c.seconds) << c.done << " " << c.left;

    // The cost until a download runs, then its progress, the time left once known, and the server.
    const struct { const char* progress; int seconds; const char* server; const char* work; } states[] = {
        {"", -1, "", "64 tiles: 39 in the tile library, 25 to fetch (about 7 s)"},
        {"tile 7 of 25", 4, "localhost:8421", "tile 7 of 25 from localhost:8421, about 4 s left"}};
    for (const auto& s : states) {
        const StatusLineTexts texts = LayOutStatusLine({"Request sent", s.progress, s.seconds, MapCost{64, 39}, "CN87uo", s.server});
        EXPECT_EQ(QStringList({texts.Message, texts.Work, texts.Locator}),
                  QStringList({"Request sent", s.work, "Locator CN87uo"}));
    }
}

}  // namespace
