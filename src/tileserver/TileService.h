#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "TileCache.h"
#include "TileSource.h"

// What the server answers for one request, apart from HTTP.
struct TileAnswer {
    int Status = 200;
    std::string ContentType;
    std::string Body;
    bool CacheHit = false;
};

// The tile service: request text in, picture or one-line refusal out. Thread-safe; at most
// `workers` tiles are rendered at once, however many requests wait.
class TileService {
public:
    TileService(std::unique_ptr<TileSource> photo, std::unique_ptr<TileSource> topo, TileCache cache, int workers);

    TileAnswer Answer(std::string_view query);
    TileSource& SourceFor(int type) { return type == 2 ? *m_topo : *m_photo; }

private:
    std::unique_ptr<TileSource> m_photo, m_topo;
    TileCache m_cache;
    std::mutex m_lock;
    std::condition_variable m_free;
    int m_idleWorkers;
};
