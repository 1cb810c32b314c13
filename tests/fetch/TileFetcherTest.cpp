#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "Inet.h"
#include "TestFiles.h"
#include "TestTileServer.h"
#include "TileFetcher.h"
#include "TileLibrary.h"

namespace {

TileAddress Tile(int x) { return {1, 12, 13, x, 5500}; }

class TileFetcherTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.Start() && library.isValid());
        fetcher.SetTileLibraryFolder(library.path() + QLatin1Char('/'));
        fetcher.SetTileServer(server.BaseUrl());
        QObject::connect(&fetcher, &TileFetcher::TileDone, [this](const FetchedTile& tile) { done.push_back(tile); });
    }
    bool Stored(int x) const { return !FindLibraryTile(fetcher.TileLibraryFolder(), Tile(x)).isEmpty(); }

    TestTileServer server;
    QTemporaryDir library;
    TileFetcher fetcher;
    std::vector<FetchedTile> done;
};

// Four at once, nearest first; tiles no longer wanted go without a word, waiting or running.
TEST_F(TileFetcherTest, KeepsToTheLimitInPriorityOrderAndDropsWhatIsNoLongerWanted)
{
    server.SetDefaultAnswer(TileAnswer::Hung());
    fetcher.SetMaxRequests(4);
    for (int x = 0; x < 7; ++x)
        fetcher.Fetch(Tile(x), 7 - x);   // the last asked are the nearest
    ASSERT_TRUE(QTest::qWaitFor([this] { return server.ActiveCount() == 4; }, 20000));
    std::vector<QString> queries = server.Queries();
    std::sort(queries.begin(), queries.end());
    EXPECT_EQ(queries, (std::vector<QString>{"T=1&S=12&X=3&Y=5500&Z=13", "T=1&S=12&X=4&Y=5500&Z=13",
                                             "T=1&S=12&X=5&Y=5500&Z=13", "T=1&S=12&X=6&Y=5500&Z=13"}));
    EXPECT_EQ(fetcher.Waiting(), 3);

    fetcher.KeepOnly({Tile(0), Tile(1), Tile(5), Tile(6)});   // 2 to 4 scrolled out of view
    ASSERT_TRUE(QTest::qWaitFor([this] { return server.RequestCount() == 6; }, 20000));
    EXPECT_EQ(std::tuple(fetcher.Running(), fetcher.Waiting()), std::tuple(4, 0));   // 0 and 1 took the freed room
    fetcher.Cancel(Tile(6));
    EXPECT_EQ(fetcher.Running(), 3);

    server.Stop();   // the hung requests fail
    ASSERT_TRUE(QTest::qWaitFor([this] { return fetcher.Idle(); }, 20000));
    std::vector<int64_t> reported;
    for (const FetchedTile& tile : done) {
        reported.push_back(tile.Tile.X);
        EXPECT_EQ(tile.Result, FetchedTile::Outcome::TransferFailed);
    }
    std::sort(reported.begin(), reported.end());
    EXPECT_EQ(reported, (std::vector<int64_t>{0, 1, 5}));
}

// The library answers first; a hung request times out; a stand-in answer is shown but not kept.
TEST_F(TileFetcherTest, LibraryFirstTimeOutAndShortLivedTilesAreNotKept)
{
    ASSERT_TRUE(WriteFile(library.filePath("1-12-13-0-5500.JPG"), TestTileServer::JpegTile(0, 0)));
    server.SetAnswer(1, 5500, TileAnswer::Hung());
    const struct { const char* cacheControl; bool kept; } answers[] = {
        {"public, max-age=600", false}, {"max-age=30", false}, {"max-age=601", true}, {"", true},
        {"no-cache, MAX-AGE=0", false},
    };
    for (int i = 0; i < int(std::size(answers)); ++i)
        server.SetAnswer(2 + i, 5500, TileAnswer::Jpeg(answers[i].cacheControl));
    fetcher.SetMaxRequests(8);
    fetcher.SetTimeout(3000);

    fetcher.Fetch(Tile(0));
    ASSERT_EQ(done.size(), 1u);   // before Fetch returned
    EXPECT_TRUE(done[0].FromLibrary);
    EXPECT_EQ(done[0].Picture.size(), QSize(200, 200));
    for (int x = 1; x < 7; ++x)
        fetcher.Fetch(Tile(x));
    ASSERT_TRUE(QTest::qWaitFor([this] { return fetcher.Idle(); }, 20000));

    ASSERT_EQ(done.size(), 7u);
    EXPECT_EQ(server.RequestCount(), 6);
    for (const FetchedTile& tile : done) {
        if (tile.Tile.X == 1) {
            EXPECT_EQ(std::tuple(tile.Result, tile.ErrorCode), std::tuple(FetchedTile::Outcome::TransferFailed, Inet::TimeoutCode));
        } else if (tile.Tile.X >= 2) {
            const auto& answer = answers[tile.Tile.X - 2];
            EXPECT_EQ(std::tuple(tile.Result, tile.Stored, Stored(int(tile.Tile.X))), std::tuple(FetchedTile::Outcome::Picture, answer.kept, answer.kept))
                << answer.cacheControl;
        }
    }
}

}  // namespace
