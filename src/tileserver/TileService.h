#pragma once

#include <algorithm>
#include <condition_variable>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "HotTiles.h"
#include "ServiceMetrics.h"
#include "SourceChain.h"
#include "TileCache.h"

// What the server answers for one request, apart from HTTP.
struct TileAnswer {
    int Status = 200;
    std::string ContentType;
    std::string Body;
    bool CacheHit = false;
    int MaxAge = 0;               // seconds a cache may keep a tile (errors are not to be stored)
    std::string ETag;             // of a tile: "\"<hash of the bytes>\""
    std::time_t LastModified = 0; // of a tile
    int RetryAfter = 0;           // seconds, for a 503
};

// A tile the service holds in memory, answered without a render or a disk read.
struct HotAnswer {
    std::shared_ptr<const HotTiles::Tile> Tile;  // null when the tile is not held
    const char* ContentType = "";
    int MaxAge = 0;
};

// How long answers may be kept by caches.
struct TileLifetime {
    static constexpr int kWeek = 7 * 24 * 3600;
    static constexpr int kFallback = 600;  // at most, for a tile the better source should fill in later
    int MaxAge = kWeek;
    int FallbackMaxAge() const { return std::min(MaxAge, kFallback); }
};

// The tile service: request text in, picture or one-line refusal out. Thread-safe. At most
// `workers` tiles are rendered at once and `maxQueue` more wait for a worker (past that the
// answer is 503 at once); requests for a tile being rendered wait for that render.
class TileService {
public:
    TileService(std::unique_ptr<SourceChain> photo, std::unique_ptr<SourceChain> topo, TileCache cache, int workers,
                TileLifetime lifetime = {}, int maxQueue = 0);
    // One source for each image type.
    TileService(std::unique_ptr<TileSource> photo, std::unique_ptr<TileSource> topo, TileCache cache, int workers);

    TileAnswer Answer(std::string_view query);
    // The answer when the tile is held in memory; never renders, reads the disk or waits for a
    // render. A hit is counted as Answer counts it; a miss (or a bad query) counts nothing.
    HotAnswer TryHot(std::string_view query);
    SourceChain& ChainFor(int type) { return type == 2 ? *m_topo : *m_photo; }

    // Ready: every source's data is prepared and each chain has a source that is not skipped.
    bool Healthy() const;
    ServiceMetrics& Metrics() { return m_metrics; }
    std::string MetricsText() const;
    // Workers free for a render now.
    int IdleWorkers() const;

    static constexpr int kQueuePerWorker = 4;  // the default bound of the queue
    static constexpr int kRetryAfter = 2;      // seconds, with a 503
    static constexpr size_t kHotTileBytes = 64 << 20;  // tiles kept in memory, about 8,000 photo tiles

private:
    struct Render;
    HotAnswer Hot(const TileAddress& tile, const std::string& name);
    TileAnswer Draw(const TileAddress& tile, SourceChain& chain, const std::string& key, const std::string& name);

    std::unique_ptr<SourceChain> m_photo, m_topo;
    TileCache m_cache;
    HotTiles m_hot{kHotTileBytes};  // final tiles only, never fallback tiles
    TileLifetime m_lifetime;
    const int m_maxQueue;
    ServiceMetrics m_metrics;
    mutable std::mutex m_lock;
    std::condition_variable m_changed;  // a worker freed or a render finished
    int m_idleWorkers;
    int m_waiting = 0;  // renders waiting for a worker
    std::map<std::string, std::shared_ptr<Render>> m_renders;  // running or waiting, by tile
};
