#include "TileService.h"

#include "TileEncoder.h"

namespace {

TileAnswer Text(int status, std::string line)
{
    return {status, "text/plain; charset=utf-8", std::move(line) + "\n", false, 0};
}

}  // namespace

TileService::TileService(std::unique_ptr<SourceChain> photo, std::unique_ptr<SourceChain> topo, TileCache cache,
                         int workers, TileLifetime lifetime)
    : m_photo(std::move(photo)), m_topo(std::move(topo)), m_cache(std::move(cache)), m_lifetime(lifetime),
      m_idleWorkers(std::max(1, workers))
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
    const std::string contentType = tile.Type == 2 ? "image/gif" : "image/jpeg";
    const std::string key = chain.CacheKey();
    if (auto cached = m_cache.Read(key, tile))
        return {200, contentType, std::move(*cached), true, m_lifetime.MaxAge};

    RgbImage image;
    SourceChain::Drawn drawn;
    {
        std::unique_lock<std::mutex> lock(m_lock);
        m_free.wait(lock, [this] { return m_idleWorkers > 0; });
        --m_idleWorkers;
    }
    drawn = chain.Render(tile, image);
    std::string bytes = drawn.Result.Ok ? (tile.Type == 2 ? EncodeGif(image) : EncodeJpeg(image)) : std::string();
    {
        std::lock_guard<std::mutex> lock(m_lock);
        ++m_idleWorkers;
    }
    m_free.notify_one();
    if (!drawn.Result.Ok)
        return Text(drawn.Result.Status, drawn.Result.Error);
    if (bytes.empty())
        return Text(500, "The tile could not be encoded.");
    // A tile drawn in place of a better one is not kept: the better source fills it in later.
    if (drawn.Final)
        m_cache.Write(key, tile, bytes);
    return {200, contentType, std::move(bytes), false, drawn.Final ? m_lifetime.MaxAge : m_lifetime.FallbackMaxAge()};
}
