// quiltmap-tileserver: renders Quiltmap's UTM tiles from GDAL sources or the embedded map.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <thread>

#include "CoastSource.h"
#include "GdalSupport.h"
#include "RasterSource.h"
#include "SourceChain.h"
#include "ServerOptions.h"
#include "TileHttpServer.h"
#include "Version.h"

namespace {

// A bare name such as "usgs-imagery" is one of the descriptions shipped beside the server (build
// folder) or in its share folder (installed); anything else is a GDAL dataset name as it stands.
std::string ResolveSourceName(const std::string& name)
{
    if (name.empty() || name.find_first_of("/.:") != std::string::npos)
        return name;
    std::error_code failure;
    const std::filesystem::path folder = std::filesystem::read_symlink("/proc/self/exe", failure).parent_path();
    for (const auto& candidate : {folder / "sources", folder / ".." / "share" / "quiltmap" / "sources"}) {
        const std::filesystem::path file = candidate / (name + ".xml");
        if (std::filesystem::exists(file, failure))
            return file.lexically_normal().string();
    }
    return name;
}

// Both image types share one copy of the embedded data.
struct SharedEmbedded : TileSource {
    std::shared_ptr<CoastSource> Inner;
    RenderResult Render(const TileAddress& tile, RgbImage& image) override { return Inner->Render(tile, image); }
    std::string CacheKey() const override { return Inner->CacheKey(); }
    std::string Describe() const override { return Inner->Describe(); }
    bool Ready() const override { return Inner->Ready(); }
};

// The sources named, in order; nullptr with the reason when one cannot serve tiles.
std::unique_ptr<SourceChain> OpenChain(const std::vector<std::string>& names, const ServerOptions& options,
                                       const std::string& embeddedFolder, std::shared_ptr<CoastSource>& embedded,
                                       std::string& error)
{
    std::vector<SourceChain::Link> links;
    for (const std::string& name : names) {
        if (name == ServerOptions::kEmbedded) {
            if (!embedded)
                embedded = std::make_shared<CoastSource>(embeddedFolder);
            auto shared = std::make_shared<SharedEmbedded>();
            shared->Inner = embedded;
            links.push_back({name, shared});
            continue;
        }
        std::unique_ptr<RasterSource> source = RasterSource::Open(ResolveSourceName(name), error);
        if (!source) {
            error = "The source \"" + name + "\" cannot serve tiles: " + error + ".";
            return nullptr;
        }
        if (options.Offline && source->NeedsNetwork()) {
            error = "The source \"" + name + "\" needs the network, and --offline was given.";
            return nullptr;
        }
        links.push_back({name, std::move(source)});
    }
    return std::make_unique<SourceChain>(std::move(links), [](const std::string& line) {
        const std::string text = LogTimestamp() + " " + line + "\n";
        fwrite(text.data(), 1, text.size(), stderr);
    });
}

}  // namespace

int main(int argc, char** argv)
{
    const ServerOptionsResult parsed = ParseServerOptions(std::vector<std::string>(argv + 1, argv + argc));
    switch (parsed.What) {
    case ServerOptionsResult::Action::Help:
        fputs(ServerUsage(), stdout);
        return 0;
    case ServerOptionsResult::Action::Version:
        printf("quiltmap-tileserver %s\n", QuiltmapVersion::Text);
        return 0;
    case ServerOptionsResult::Action::Fail:
        fprintf(stderr, "quiltmap-tileserver: %s\n\n%s", parsed.Error.c_str(), ServerUsage());
        return 2;
    case ServerOptionsResult::Action::Serve:
        break;
    }
    const ServerOptions& options = parsed.Options;

    // SIGINT and SIGTERM are taken by one thread that stops the server; every other thread,
    // started after this, keeps them blocked.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    InitialiseGdal();
    const std::string cache = options.Cache.empty() ? DefaultCacheFolder() : options.Cache;
    std::shared_ptr<CoastSource> embedded;
    std::string error;
    std::unique_ptr<SourceChain> photo = OpenChain(options.Photo, options, cache + "/embedded", embedded, error);
    std::unique_ptr<SourceChain> topo = photo ? OpenChain(options.Topo, options, cache + "/embedded", embedded, error) : nullptr;
    if (!photo || !topo) {
        fprintf(stderr, "quiltmap-tileserver: %s\n", error.c_str());
        return 1;
    }
    const int workers = options.Workers > 0 ? options.Workers : int(std::max(1u, std::thread::hardware_concurrency()));
    const std::string photoName = photo->Describe(), topoName = topo->Describe();
    TileLifetime lifetime;
    lifetime.MaxAge = options.MaxAge;
    TileService service(std::move(photo), std::move(topo), TileCache(cache), workers, lifetime, options.MaxQueue);
    TileHttpServer server(service);
    if (!server.Bind(options.Host, options.Port, error)) {
        fprintf(stderr, "quiltmap-tileserver: %s (is another tile server running there?)\n", error.c_str());
        return 1;
    }
    fprintf(stderr, "quiltmap-tileserver %s listening on http://%s:%d/\n  photo (T=1): %s\n  topo (T=2): %s\n  cache: %s\n",
            QuiltmapVersion::Text, options.Host.c_str(), server.Port(), photoName.c_str(), topoName.c_str(), cache.c_str());

    std::thread stopper([&server, stopSignals] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        fprintf(stderr, "quiltmap-tileserver: stopping (signal %d)\n", signal);
        server.Stop();
    });
    server.Run();
    // Ended for another reason than a signal: wake the waiting thread so it can be joined.
    pthread_kill(stopper.native_handle(), SIGTERM);
    stopper.join();
    if (embedded) {
        // A data preparation still running finishes before the process ends.
        std::string ignored;
        embedded->Data(ignored);
        embedded->WaitForFull();
    }
    return 0;
}
