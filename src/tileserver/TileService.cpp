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

const char* ContentTypeOf(const TileAddress& tile)
{
    return ServedFormat(tile.Type) == TileFormat::Gif ? "image/gif" : "image/jpeg";
}

TileAnswer Picture(const TileAddress& tile, const HotTiles::Tile& picture, int maxAge, bool cacheHit)
{
    TileAnswer answer;
    answer.ContentType = ContentTypeOf(tile);
    answer.Body = picture.Body;
    answer.CacheHit = cacheHit;
    answer.MaxAge = maxAge;
    answer.ETag = picture.ETag;
    answer.LastModified = picture.LastModified;
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
    // The tile names its chain: one for each type.
    const std::string name = TileFileStem(tile);
    if (const HotAnswer hot = Hot(tile, name); hot.Tile)
        return Picture(tile, *hot.Tile, hot.MaxAge, true);
    SourceChain& chain = ChainFor(tile.Type);
    const std::string key = chain.CacheKey();
    std::time_t modified = 0;
    if (auto cached = m_cache.Read(key, tile, &modified)) {
        m_metrics.CountCacheHit();
        auto kept = std::make_shared<HotTiles::Tile>(HotTiles::Tile{std::move(*cached), "", modified});
        kept->ETag = "\"" + HashText(kept->Body) + "\"";
        m_hot.Keep(name, kept);
        return Picture(tile, *kept, m_lifetime.MaxAge, true);
    }

    // Join the render of this tile when there is one; else queue one, if the queue has room.
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
        answer = Draw(tile, chain, key, name);
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

HotAnswer TileService::TryHot(std::string_view query)
{
    const TileQueryResult parsed = ParseTileQuery(query);
    return parsed.Ok ? Hot(parsed.Tile, TileFileStem(parsed.Tile)) : HotAnswer();
}

HotAnswer TileService::Hot(const TileAddress& tile, const std::string& name)
{
    HotAnswer answer;
    answer.Tile = m_hot.Find(name);
    if (answer.Tile) {
        m_metrics.CountCacheHit();
        answer.ContentType = ContentTypeOf(tile);
        answer.MaxAge = m_lifetime.MaxAge;
    }
    return answer;
}

TileAnswer TileService::Draw(const TileAddress& tile, SourceChain& chain, const std::string& key, const std::string& name)
{
    SourceChain::Drawn drawn;
    auto picture = std::make_shared<HotTiles::Tile>();
    {
        std::unique_lock<std::mutex> lock(m_lock);
        ++m_waiting;
        m_changed.wait(lock, [this] { return m_idleWorkers > 0; });
        --m_waiting;
        --m_idleWorkers;
    }
    {
        // The worker is given back however the render ends, and before the tile goes to disk.
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
        drawn = chain.Render(tile, image);
        if (!drawn.Result.Ok)
            return Text(drawn.Result.Status, drawn.Result.Error);
        picture->Body = ServedFormat(tile.Type) == TileFormat::Gif ? EncodeGif(image) : EncodeJpeg(image);
        if (picture->Body.empty())
            return Text(500, "The tile could not be encoded.");
        m_metrics.CountRender(drawn.Source, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    picture->ETag = "\"" + HashText(picture->Body) + "\"";
    picture->LastModified = std::time(nullptr);
    // A tile drawn in place of a better one is kept nowhere: the better source fills it in later.
    if (drawn.Final) {
        m_cache.Write(key, tile, picture->Body);
        m_hot.Keep(name, picture);
    }
    return Picture(tile, *picture, drawn.Final ? m_lifetime.MaxAge : m_lifetime.FallbackMaxAge(), false);
}

bool TileService::Healthy() const
{
    return m_photo->Ready() && m_topo->Ready() && m_photo->Serving() && m_topo->Serving();
}

int TileService::IdleWorkers() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_idleWorkers;
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
