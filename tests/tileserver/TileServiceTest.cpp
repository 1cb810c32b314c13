#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>

#include "TileServerTesting.h"

namespace {

// A source whose renders wait at a gate the test opens; it may also throw, or still prepare.
struct GatedSource : TileSource {
    std::mutex Lock;
    std::condition_variable Changed;
    bool Open = true, Throws = false, Prepared = true;
    int Entered = 0;
    RenderResult Render(const TileAddress&, RgbImage&) override
    {
        std::unique_lock<std::mutex> lock(Lock);
        ++Entered, Changed.notify_all();
        Changed.wait(lock, [this] { return Open; });
        if (Throws)
            throw std::runtime_error("broken");
        return {};
    }
    std::string CacheKey() const override { return "gated"; }
    std::string Describe() const override { return "gated"; }
    bool Ready() const override { return Prepared; }
    void Set(bool open) { std::lock_guard<std::mutex> lock(Lock); Open = open, Changed.notify_all(); }
};

// A worker is given back however its render ends, by an exception too. Checked before every test:
// were it kept, each later render would wait for a worker for ever, so the run stops here.
class WorkersComeBack : public ::testing::Environment {
public:
    void SetUp() override
    {
        auto* source = new GatedSource;
        TileService service(std::make_unique<SourceChain>(std::unique_ptr<TileSource>(source)),
                            std::make_unique<SourceChain>(std::make_unique<GatedSource>()), TileCache(""), 1);
        for (const bool throws : {true, false}) {
            source->Throws = throws;
            EXPECT_EQ(service.Answer(TileQuery({1, 14, 10, 171 + throws, 1647})).Status, throws ? 500 : 200);
            ASSERT_EQ(service.IdleWorkers(), 1) << (throws ? "after a render that threw" : "after a tile");
        }
    }
};
testing::Environment* const kWorkersComeBack = testing::AddGlobalTestEnvironment(new WorkersComeBack);

// One worker, room for one waiting render.
class TileServiceTest : public ::testing::Test {
protected:
    static std::string Tile(int x) { return TilePath(1, 14, x, 1647); }
    std::string Metric(const std::string& name)
    {
        const std::string text = server.Get("/metrics")->body;
        const size_t at = text.find("\n" + name + " ") + name.size() + 2;
        return at < name.size() + 2 ? "" : text.substr(at, text.find('\n', at) - at);
    }

    QTemporaryDir cache;
    GatedSource* source = new GatedSource;
    RunningTileServer server{std::make_unique<SourceChain>(std::unique_ptr<TileSource>(source)),
                             std::make_unique<SourceChain>(std::make_unique<GatedSource>()), cache.path().toStdString(), 1, 1};
};

TEST_F(TileServiceTest, CacheHeadersConditionalRequestsAndHead)
{
    const auto first = server.Get(Tile(171));
    ASSERT_EQ(first->status, 200);
    const std::string etag = first->get_header_value("ETag"), modified = first->get_header_value("Last-Modified");
    const struct { const char *Method, *Header; std::string Value; int Status; } cases[] = {
        {"GET", "If-None-Match", etag, 304},
        {"GET", "If-None-Match", "\"other\", W/" + etag, 304},
        {"GET", "If-None-Match", "\"other\"", 200},
        {"GET", "If-Modified-Since", modified, 304},
        {"GET", "If-Modified-Since", "yesterday", 200},
        {"HEAD", "If-None-Match", "\"other\"", 200},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Method << " " << c.Header << ": " << c.Value);
        httplib::Client client("127.0.0.1", server.Port());
        const httplib::Headers headers{{c.Header, c.Value}};
        const auto answer = std::string(c.Method) == "HEAD" ? client.Head(Tile(171).c_str(), headers) : client.Get(Tile(171).c_str(), headers);
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->status, c.Status);
        EXPECT_EQ(std::tuple(answer->get_header_value("ETag"), answer->get_header_value("Last-Modified"), answer->get_header_value("Cache-Control")),
                  std::tuple(etag, modified, "public, max-age=604800"));
        EXPECT_EQ(answer->body, c.Status == 200 && *c.Method == 'G' ? first->body : "");
        EXPECT_TRUE(*c.Method == 'G' || answer->get_header_value("Content-Length") == std::to_string(first->body.size()));
    }
    EXPECT_EQ(server.Get("/tile.ashx?T=9")->get_header_value("Cache-Control"), "no-store");
}

TEST_F(TileServiceTest, HealthMetricsCoalescingQueueAndAThrowingSource)
{
    // Health follows the source's readiness; a source that throws is a 500 and the next tile is drawn.
    for (const bool bad : {true, false}) {
        source->Prepared = !bad, source->Throws = bad;
        EXPECT_EQ(server.Get("/health")->status, bad ? 503 : 200);
        EXPECT_EQ(server.Get(Tile(bad ? 174 : 175))->status, bad ? 500 : 200);
    }

    // 50 requests for one tile: one render, the same bytes for all; health and metrics answer
    // while the worker renders.
    source->Set(false);
    source->Entered = 0;
    std::vector<std::thread> clients;
    std::vector<std::optional<httplib::Result>> answers(50);
    for (auto& answer : answers)
        clients.emplace_back([&] { answer.emplace(server.Get(Tile(171))); });
    {
        std::unique_lock<std::mutex> lock(source->Lock);
        source->Changed.wait(lock, [this] { return source->Entered == 1; });
    }
    EXPECT_EQ(server.Get("/health")->status, 200);
    // A second tile waits for the worker; a third finds the queue full.
    std::optional<httplib::Result> queued;
    std::thread second([&] { queued.emplace(server.Get(Tile(172))); });
    while (Metric("quiltmap_queue_depth") != "1")
        std::this_thread::yield();
    const auto full = server.Get(Tile(173));
    EXPECT_EQ(std::tuple(full->status, full->get_header_value("Cache-Control")), std::tuple(503, "no-store"));
    source->Set(true);
    for (auto& client : clients)
        client.join();
    second.join();
    EXPECT_EQ((*queued)->status, 200);
    for (const auto& answer : answers)
        EXPECT_TRUE((*answer)->status == 200 && (*answer)->body == (*answers[0])->body);
    EXPECT_EQ(source->Entered, 2);
    EXPECT_EQ(Metric("quiltmap_tiles_rendered_total{source=\"gated\"}"), "3");
    EXPECT_EQ(Metric("quiltmap_requests_total{code=\"503\"}"), "2");  // the first health check and the full queue
}

// SIGTERM lets an answer in flight finish, then the server ends with status 0; the failed tile is
// not cached.
TEST(TileServerProcess, DrainsOnSigterm)
{
    std::mutex lock;
    std::condition_variable changed;
    bool asked = false, released = false;
    httplib::Server upstream;
    upstream.Get("/slow.tif", [&](const httplib::Request&, httplib::Response& response) {
        std::unique_lock<std::mutex> guard(lock);
        asked = true;
        changed.notify_all();
        changed.wait(guard, [&] { return released; });
        response.status = 404;
    });
    const std::string source = "/vsicurl/http://127.0.0.1:" + std::to_string(upstream.bind_to_any_port("127.0.0.1")) + "/slow.tif";
    std::thread upstreamThread([&] { upstream.listen_after_bind(); });
    QTemporaryDir cache;
    const int port = FreePorts(1)[0];
    Program server;
    ASSERT_TRUE(server.StartUntil({QUILTMAP_TILESERVER, "--listen", "127.0.0.1:" + std::to_string(port), "--photo", source,
                                   "--topo", source, "--cache", cache.path().toStdString()}, "listening on"));
    std::optional<httplib::Result> inFlight;
    std::thread request([&] { inFlight.emplace(httplib::Client("127.0.0.1", port).Get(TilePath(1, 14, 171, 1647))); });
    {
        std::unique_lock<std::mutex> guard(lock);
        changed.wait(guard, [&] { return asked; });
        server.terminate();
        released = true;
        changed.notify_all();
    }
    request.join();
    const bool ended = server.waitForFinished(60000);
    upstream.stop();
    upstreamThread.join();
    EXPECT_TRUE(*inFlight && (*inFlight)->status == 502);
    EXPECT_FALSE(QFileInfo::exists(cache.path() + "/tiles"));
    EXPECT_TRUE(ended && server.exitStatus() == QProcess::NormalExit && server.exitCode() == 0) << server.exitCode();
}

}  // namespace
