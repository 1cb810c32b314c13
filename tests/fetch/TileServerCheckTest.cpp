#include <QSignalSpy>
#include <gtest/gtest.h>

#include "TestTileServer.h"
#include "TileServerCheck.h"

// "Test" of the tile server setting: says that a tile came, or what failed.
TEST(TileServerCheckTest, SaysWhetherATileCameOrWhatFailed)
{
    const struct { TileAnswer Answer; bool Stopped, Worked; QString Says; } cases[] = {  // stopped: nothing listens
        {TileAnswer::Jpeg(), false, true, "works: it sent a tile of 200 x 200 pixels"},
        {TileAnswer::Status(502), false, false, "did not send a tile: 502"},
        {TileAnswer::Body("<html>busy</html>"), false, false, "answered, but not with a picture (17 bytes)"},
        {TileAnswer::Hung(), false, false, "did not send a tile"},
        {TileAnswer::Jpeg(), true, false, "did not send a tile"},
    };
    for (const auto& c : cases) {
        TestTileServer server;
        ASSERT_TRUE(server.Start());
        server.SetDefaultAnswer(c.Answer);
        const QUrl url = server.BaseUrl();
        if (c.Stopped)
            server.Stop();
        TileServerCheck check;
        check.SetTimeout(2000);
        QSignalSpy finished(&check, &TileServerCheck::Finished);
        check.Start(url);
        ASSERT_TRUE(finished.wait(30000) || finished.count() == 1) << c.Says.toStdString();
        EXPECT_EQ(finished[0][0].toBool(), c.Worked) << c.Says.toStdString();
        EXPECT_TRUE(finished[0][1].toString().contains(c.Says)) << finished[0][1].toString().toStdString();
        EXPECT_EQ(server.RequestCount(), c.Stopped ? 0 : 1);
    }
}
