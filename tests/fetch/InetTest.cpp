#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include "Inet.h"
#include "TestTileServer.h"
#include "TileLibrary.h"

namespace {

constexpr int WaitMs = 20000;

class InetTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Start()); }

    QUrl TileAt(int x) const { return TileUrl(server.BaseUrl(), TileKey{1, 12, 13, x, 5500}); }
    static bool Reported(const QSignalSpy& spy, int16_t state)
    {
        for (const QList<QVariant>& arguments : spy)
            if (arguments.at(0).value<int16_t>() == state)
                return true;
        return false;
    }

    TestTileServer server;
    Inet inet;
};

TEST_F(InetTest, HandsTheBodyOutInChunksOfAtMost1024Bytes)
{
    QByteArray body(2049, '\0');
    for (int i = 0; i < body.size(); ++i)
        body[i] = char(i * 7);
    server.SetAnswer(1, 5500, TileAnswer::Body(body));
    QSignalSpy states(&inet, &Inet::StateChanged);

    ASSERT_TRUE(inet.Execute(TileAt(1)));
    EXPECT_TRUE(inet.StillExecuting());
    QTRY_VERIFY_WITH_TIMEOUT(Reported(states, Inet::StateResponseCompleted), WaitMs);
    EXPECT_FALSE(inet.StillExecuting());

    std::vector<qsizetype> sizes;
    QByteArray joined;
    for (QByteArray chunk = inet.GetChunk(1024); !chunk.isEmpty(); chunk = inet.GetChunk(1024)) {
        sizes.push_back(chunk.size());
        joined += chunk;
    }
    EXPECT_EQ(sizes, (std::vector<qsizetype>{1024, 1024, 1}));
    EXPECT_EQ(joined, body);
    EXPECT_FALSE(Reported(states, Inet::StateError));
}

TEST_F(InetTest, OneRequestAtATimeAndACancelledOneReportsNothingMore)
{
    server.SetAnswer(1, 5500, TileAnswer::Hung());
    QSignalSpy states(&inet, &Inet::StateChanged);

    ASSERT_TRUE(inet.Execute(TileAt(1)));
    EXPECT_FALSE(inet.Execute(TileAt(2)));
    QTRY_VERIFY_WITH_TIMEOUT(server.ActiveCount() == 1, WaitMs);
    inet.Cancel();
    EXPECT_FALSE(inet.StillExecuting());

    // A later request runs normally, and nothing of the cancelled one turns up meanwhile.
    ASSERT_TRUE(inet.Execute(TileAt(2)));
    QTRY_VERIFY_WITH_TIMEOUT(Reported(states, Inet::StateResponseCompleted), WaitMs);
    EXPECT_FALSE(Reported(states, Inet::StateError));
    EXPECT_EQ(inet.GetChunk(1024).left(2), QByteArray("\xFF\xD8", 2));
}

}  // namespace
