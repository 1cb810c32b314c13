#include "TileService.h"

#include "TileEncoder.h"

namespace {

TileAnswer Text(int status, std::string line)
{
    return {status, "text/plain; charset=utf-8", std::move(line) + "\n", false};
}

}  // namespace

TileService::TileService(std::unique_ptr<TileSource> photo, std::unique_ptr<TileSource> topo, TileCache cache,
                         int workers)
    : m_photo(std::move(photo)), m_topo(std::move(topo)), m_cache(std::move(cache)), m_idleWorkers(std::max(1, workers))
{
}

TileAnswer TileService::Answer(std::string_view query)
{
    const TileQueryResult parsed = ParseTileQuery(query);
    if (!parsed.Ok)
        return Text(400, parsed.Error);
    const TileAddress& tile = parsed.Tile;
    TileSource& source = SourceFor(tile.Type);
    const std::string contentType = tile.Type == 2 ? "image/gif" : "image/jpeg";
    const std::string key = source.CacheKey();
    if (auto cached = m_cache.Read(key, tile))
        return {200, contentType, std::move(*cached), true};

    RgbImage image;
    image.Fill(BackgroundOf(tile.Type));
    RenderResult rendered;
    {
        std::unique_lock<std::mutex> lock(m_lock);
        m_free.wait(lock, [this] { return m_idleWorkers > 0; });
        --m_idleWorkers;
    }
    rendered = source.Render(tile, image);
    std::string bytes = rendered.Ok ? (tile.Type == 2 ? EncodeGif(image) : EncodeJpeg(image)) : std::string();
    {
        std::lock_guard<std::mutex> lock(m_lock);
        ++m_idleWorkers;
    }
    m_free.notify_one();
    if (!rendered.Ok)
        return Text(rendered.Status, rendered.Error);
    if (bytes.empty())
        return Text(500, "The tile could not be encoded.");
    m_cache.Write(key, tile, bytes);
    return {200, contentType, std::move(bytes), false};
}
