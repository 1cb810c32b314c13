#pragma once

#include <string>
#include <vector>

// quiltmap-tileserver [--listen HOST:PORT] [--photo A,B,...] [--topo A,B,...] [--offline] [--cache DIR]
//                     [--workers N] [--max-queue N] [--max-age SECONDS]
struct ServerOptions {
    static constexpr const char* kEmbedded = "embedded";
    std::string Host = "127.0.0.1";
    int Port = 8421;
    // Sources tried in order; "embedded" is the embedded map.
    std::vector<std::string> Photo{"usgs-imagery", kEmbedded};
    std::vector<std::string> Topo{"usgs-topo", kEmbedded};
    bool Offline = false;  // no source that needs the network
    std::string Cache;     // empty: the per-user cache folder
    int Workers = 0;       // 0: one per processor
    int MaxQueue = 0;      // renders waiting for a worker; 0: four per worker
    int MaxAge = 7 * 24 * 3600;  // seconds caches may keep a tile
};

struct ServerOptionsResult {
    enum class Action { Serve, Help, Version, Fail } What = Action::Serve;
    ServerOptions Options;
    std::string Error;
};

ServerOptionsResult ParseServerOptions(const std::vector<std::string>& arguments);
const char* ServerUsage();
// $XDG_CACHE_HOME/quiltmap-tileserver, else ~/.cache/quiltmap-tileserver.
std::string DefaultCacheFolder();
