#pragma once

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "SourceChain.h"
#include "TileCache.h"

// What the server answers for one request, apart from HTTP.
struct TileAnswer {
    int Status = 200;
    std::string ContentType;
    std::string Body;
    bool CacheHit = false;
    int MaxAge = 0;  // seconds a cache may keep a tile (errors are not to be stored)
};

// How long answers may be kept by caches.
struct TileLifetime {
    static constexpr int kWeek = 7 * 24 * 3600;
    static constexpr int kFallback = 600;  // at most, for a tile the better source should fill in later
    int MaxAge = kWeek;
    int FallbackMaxAge() const { return std::min(MaxAge, kFallback); }
};

// The tile service: request text in, picture or one-line refusal out. Thread-safe; at most
// `workers` tiles are rendered at once, however many requests wait.
class TileService {
public:
    TileService(std::unique_ptr<SourceChain> photo, std::unique_ptr<SourceChain> topo, TileCache cache, int workers,
                TileLifetime lifetime = {});
    // One source for each image type.
    TileService(std::unique_ptr<TileSource> photo, std::unique_ptr<TileSource> topo, TileCache cache, int workers);

    TileAnswer Answer(std::string_view query);
    SourceChain& ChainFor(int type) { return type == 2 ? *m_topo : *m_photo; }

private:
    std::unique_ptr<SourceChain> m_photo, m_topo;
    TileCache m_cache;
    TileLifetime m_lifetime;
    std::mutex m_lock;
    std::condition_variable m_free;
    int m_idleWorkers;
};
