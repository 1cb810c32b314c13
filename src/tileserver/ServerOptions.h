#pragma once

#include <string>
#include <vector>

// quiltmap-tileserver [--listen HOST:PORT] [--photo SOURCE] [--topo SOURCE] [--cache DIR] [--workers N]
struct ServerOptions {
    std::string Host = "127.0.0.1";
    int Port = 8421;
    std::string Photo;   // empty: the embedded map
    std::string Topo;
    std::string Cache;   // empty: the per-user cache folder
    int Workers = 0;     // 0: one per processor
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
