#include "TileService.h"

#include <chrono>

#include "TileEncoder.h"

namespace {

TileAnswer Text(int status, std::string line)
{
    TileAnswer answer;
    answer.Status = status;
    answer.ContentType = "text/plain; charset=utf-8";
    answer.Body = std::move(line) + "\n";
    if (status == 503)
        answer.RetryAfter = TileService::kRetryAfter;
    return answer;
}

TileAnswer Picture(const TileAddress& tile, std::string bytes, int maxAge, std::time_t modified, bool cacheHit)
{
    TileAnswer answer;
    answer.ContentType = ServedFormat(tile.Type) == TileFormat::Gif ? "image/gif" : "image/jpeg";
    answer.Body = std::move(bytes);
    answer.CacheHit = cacheHit;
    answer.MaxAge = maxAge;
    answer.ETag = "\"" + HashText(answer.Body) + "\"";
    answer.LastModified = modified;
    return answer;
}

}  // namespace

// One render that later requests for the same tile wait for.
struct TileService::Render {
    bool Done = false;
    TileAnswer Answer;
};

TileService::TileService(std::unique_ptr<SourceChain> photo, std::unique_ptr<SourceChain> topo, TileCache cache,
                         int workers, TileLifetime lifetime, int maxQueue)
    : m_photo(std::move(photo)), m_topo(std::move(topo)), m_cache(std::move(cache)), m_lifetime(lifetime),
      m_maxQueue(maxQueue > 0 ? maxQueue : kQueuePerWorker * std::max(1, workers)), m_idleWorkers(std::max(1, workers))
{
}

TileService::TileService(std::unique_ptr<TileSource> photo, std::unique_ptr<TileSource> topo, TileCache cache, int workers)
    : TileService(std::make_unique<SourceChain>(std::move(photo)), std::make_unique<SourceChain>(std::move(topo)),
                  std::move(cache), workers)
{
}

TileAnswer TileService::Answer(std::string_view query)
{
    const TileQueryResult parsed = ParseTileQuery(query);
    if (!parsed.Ok)
        return Text(400, parsed.Error);
    const TileAddress& tile = parsed.Tile;
    SourceChain& chain = ChainFor(tile.Type);
    const std::string key = chain.CacheKey();
    std::time_t modified = 0;
    if (auto cached = m_cache.Read(key, tile, &modified)) {
        m_metrics.CountCacheHit();
        return Picture(tile, std::move(*cached), m_lifetime.MaxAge, modified, true);
    }

    // Join the render of this tile when there is one; else queue one, if the queue has room.
    const std::string name = TileFileStem(tile);
    std::shared_ptr<Render> render;
    {
        std::unique_lock<std::mutex> lock(m_lock);
        if (const auto running = m_renders.find(name); running != m_renders.end()) {
            render = running->second;
            m_changed.wait(lock, [&render] { return render->Done; });
            return render->Answer;
        }
        if (m_idleWorkers == 0 && m_waiting >= m_maxQueue)
            return Text(503, "The server is busy; try again in a moment.");
        render = m_renders.emplace(name, std::make_shared<Render>()).first->second;
    }
    TileAnswer answer;
    try {
        answer = Draw(tile, chain, key);
    } catch (const std::exception& failure) {
        answer = Text(500, std::string("The tile could not be rendered: ") + failure.what());
    }
    {
        std::lock_guard<std::mutex> lock(m_lock);
        render->Answer = answer;
        render->Done = true;
        m_renders.erase(name);
    }
    m_changed.notify_all();
    return answer;
}

TileAnswer TileService::Draw(const TileAddress& tile, SourceChain& chain, const std::string& key)
{
    {
        std::unique_lock<std::mutex> lock(m_lock);
        ++m_waiting;
        m_changed.wait(lock, [this] { return m_idleWorkers > 0; });
        --m_waiting;
        --m_idleWorkers;
    }
    // The worker is given back however the render ends.
    struct Slot {
        TileService& Service;
        ~Slot()
        {
            {
                std::lock_guard<std::mutex> lock(Service.m_lock);
                ++Service.m_idleWorkers;
            }
            Service.m_changed.notify_all();
        }
    } slot{*this};

    const auto start = std::chrono::steady_clock::now();
    RgbImage image;
    const SourceChain::Drawn drawn = chain.Render(tile, image);
    if (!drawn.Result.Ok)
        return Text(drawn.Result.Status, drawn.Result.Error);
    std::string bytes = ServedFormat(tile.Type) == TileFormat::Gif ? EncodeGif(image) : EncodeJpeg(image);
    if (bytes.empty())
        return Text(500, "The tile could not be encoded.");
    m_metrics.CountRender(drawn.Source, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    // A tile drawn in place of a better one is not kept: the better source fills it in later.
    if (drawn.Final)
        m_cache.Write(key, tile, bytes);
    return Picture(tile, std::move(bytes), drawn.Final ? m_lifetime.MaxAge : m_lifetime.FallbackMaxAge(), std::time(nullptr), false);
}

bool TileService::Healthy() const
{
    return m_photo->Ready() && m_topo->Ready() && m_photo->Serving() && m_topo->Serving();
}

std::string TileService::MetricsText() const
{
    std::map<std::string, uint64_t> failures;
    m_photo->CountFailures(failures);
    m_topo->CountFailures(failures);
    int waiting = 0;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        waiting = m_waiting;
    }
    return m_metrics.Text(waiting, failures);
}
