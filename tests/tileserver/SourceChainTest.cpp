#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>

#include <QTemporaryDir>

#include "CoastSource.h"
#include "RasterSource.h"
#include "TileServerTesting.h"

namespace {

struct ScriptedSource : TileSource {
    std::string Does = "ok";  // ok, outside, fail, down, throw
    int Asked = 0;
    RenderResult Render(const TileAddress&, RgbImage&) override
    {
        if (++Asked, Does == "throw")
            throw std::runtime_error("broken");
        return {Does == "ok" || Does == "outside", Does, 502, Does == "down", Does != "outside"};
    }
    std::string CacheKey() const override { return "scripted"; }
    std::string Describe() const override { return "scripted"; }
};

using Log = std::vector<std::string>;

SourceChain::Clock ClockAt(const std::chrono::seconds& offset)
{
    return [&offset] { return std::chrono::steady_clock::time_point() + offset; };
}

TEST(SourceChain, HandsOverSkipsAndTriesAgain)
{
    auto first = std::make_shared<ScriptedSource>(), second = std::make_shared<ScriptedSource>();
    Log log;
    std::chrono::seconds now{0};
    SourceChain chain({{"A", first}, {"B", second}}, [&log](const std::string& line) { log.push_back(line); }, ClockAt(now));
    const struct { const char *A, *B; int Advance; bool AAsked; const char* DrawnBy; bool Final; const char* Logs; } steps[] = {
        {"ok", "ok", 0, true, "A", true, nullptr},
        {"outside", "ok", 0, true, "B", true, nullptr},
        {"fail", "ok", 0, true, "B", false, nullptr},
        {"fail", "ok", 0, true, "B", false, nullptr},
        {"fail", "ok", 0, true, "B", false, "source A failed 3 times running (fail); skipped, next trial in 60 s"},
        {"ok", "ok", 59, false, "B", false, nullptr},
        {"ok", "ok", 1, true, "A", true, "source A is back"},
        {"down", "ok", 0, true, "B", false, "source A cannot be reached (down); skipped, next trial in 60 s"},
        {"down", "ok", 60, true, "B", false, "source A still fails (down); skipped, next trial in 60 s"},
        {"ok", "ok", 30, false, "B", false, nullptr},
        {"ok", "ok", 30, true, "A", true, "source A is back"},
        {"throw", "ok", 0, true, "B", false, nullptr},
        {"throw", "fail", 0, true, "", false, nullptr},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(testing::Message() << "A " << step.A << ", B " << step.B << ", after " << step.Advance << " s");
        first->Does = step.A, second->Does = step.B;
        now += std::chrono::seconds(step.Advance);
        const int asked = first->Asked;
        const Log before = log;
        RgbImage image;
        const SourceChain::Drawn drawn = chain.Render({1, 14, 10, 171, 1647}, image);
        EXPECT_EQ(std::tuple(first->Asked > asked, drawn.Source, drawn.Result.Ok, drawn.Final),
                  std::tuple(step.AAsked, step.DrawnBy, *step.DrawnBy != 0, step.Final)) << drawn.Result.Error;
        Log expected = before;
        if (step.Logs)
            expected.push_back(step.Logs);
        EXPECT_EQ(log, expected);
    }
}

TEST(SourceChain, AWebSourceDrawsWhileUpAndTheEmbeddedMapWhileItIsDown)
{
    // Plain red over 0.1 x 0.1 degrees of Seattle, uncompressed: distant tiles lie in distant
    // parts of the file, so GDAL has not read them ahead.
    QTemporaryDir folder;
    ASSERT_EQ(std::system(("gdal_create -q -outsize 2000 2000 -bands 3 -burn 200 -burn 30 -burn 30 -a_srs EPSG:4326 "
                           "-a_ullr -122.4 47.65 -122.3 47.55 -co TILED=YES " + folder.filePath("red.tif").toStdString()).c_str()), 0);
    int port = 0;
    std::unique_ptr<httplib::Server> web;
    std::thread serving;
    const auto start = [&] {
        web = std::make_unique<httplib::Server>();
        web->set_mount_point("/", folder.path().toStdString());
        port = port ? (web->bind_to_port("127.0.0.1", port) ? port : -1) : web->bind_to_any_port("127.0.0.1");
        serving = std::thread([&web] { web->listen_after_bind(); });  // bound: connections wait for the loop
    };
    const auto stop = [&] { web->stop(), serving.join(); };
    start();
    Log log;
    std::mutex logLock;
    std::chrono::seconds now{0};
    const auto chain = [&](int type) {
        std::string error;
        return std::make_unique<SourceChain>(
            std::vector<SourceChain::Link>{{"red", RasterSource::Open("/vsicurl/http://127.0.0.1:" + std::to_string(port) + "/red.tif", error)},
                                           {"embedded", std::make_shared<CoastSource>(EmbeddedDataFolder(), false)}},
            [&, type](const std::string& line) { std::lock_guard<std::mutex> lock(logLock); log.push_back(std::to_string(type) + " " + line); },
            ClockAt(now));
    };
    QTemporaryDir cache;
    RunningTileServer server(chain(1), chain(2), cache.path().toStdString());
    const std::string week = "public, max-age=604800", fallback = "public, max-age=600";
    const struct { const char* Step; int64_t X, Y; bool Red; std::string CacheControl; const char* Logs; } steps[] = {
        {"up", 2729, 26382, true, week, nullptr},
        {"outside the GeoTIFF", 2700, 26300, false, week, nullptr},
        {"down", 2759, 26338, false, fallback, "1 source red cannot be reached"},
        {"back", 2744, 26360, true, week, "1 source red is back"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.Step);
        if (std::string(step.Step) == "down")
            stop();
        if (std::string(step.Step) == "back")
            start(), now += SourceChain::kTrialDelay;
        const size_t logged = log.size();
        const std::string path = TilePath(1, 10, step.X, step.Y);
        const auto answer = server.Get(path);
        ASSERT_EQ(answer->status, 200) << answer->body;
        RgbImage tile;
        ASSERT_TRUE(DecodeTile(answer->body, tile));
        EXPECT_EQ(tile.At(100, 100).R > 150 && tile.At(100, 100).G < 80, step.Red);
        EXPECT_EQ(answer->get_header_value("Cache-Control"), step.CacheControl);
        // Only final tiles are kept: asked again, a fallback tile is drawn again.
        EXPECT_EQ(server.Get(path)->get_header_value("X-Cache"), step.CacheControl == week ? "hit" : "miss");
        ASSERT_EQ(log.size(), logged + (step.Logs ? 1 : 0));
        EXPECT_TRUE(!step.Logs || log.back().rfind(step.Logs, 0) == 0) << log.back();
    }
    stop();
}

// Water filled; until the full resolution is ready, the scales that use it are drawn
// provisionally.
TEST(SourceChain, EmbeddedTopographicMapFillsWaterAndAwaitsFullResolution)
{
    CoastSource source(EmbeddedDataFolder(), false);
    // Lake Michigan's middle and Iowa at 16 m/pixel.
    const struct { TileAddress Tile; Rgb Mostly; } places[] = {{{2, 14, 16, 156, 1519}, CoastSource::kMapWater}, {{2, 14, 15, 140, 1453}, kPaper}};
    for (const auto& place : places) {
        RgbImage image;
        ASSERT_TRUE(source.Render(place.Tile, image).Ok);
        EXPECT_GT(std::count(image.Pixels.begin(), image.Pixels.end(), place.Mostly), 36000) << place.Tile.Zone;
    }
    std::string error;
    const auto high = source.Data(error);
    ASSERT_TRUE(high) << error;
    std::promise<CoastSource::Prepared> full;
    CoastSource awaiting(high, full.get_future().share());
    RgbImage image;
    EXPECT_TRUE(awaiting.Render({2, 15, 10, 171, 1647}, image).Provisional);
    EXPECT_FALSE(awaiting.Render({2, 16, 10, 85, 823}, image).Provisional);
    full.set_value({high, {}});
    EXPECT_FALSE(awaiting.Render({2, 15, 10, 171, 1647}, image).Provisional);
}

}  // namespace
