#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "GdalSupport.h"
#include "TileSource.h"
#include "TileWarper.h"

// Any GDAL raster dataset: a GeoTIFF or VRT on disk, an MBTiles file, or a GDAL WMS/TMS
// description of a web service. Each tile is one warp of the source into the tile's square in
// the program's UTM, bilinear, from the overview that fits the scale.
class RasterSource : public TileSource {
public:
    // Opens the dataset once to check it; false with a message when it cannot serve tiles. A
    // dataset named by a URL is opened when a tile first needs it: its server may be down now.
    static std::unique_ptr<RasterSource> Open(const std::string& name, std::string& error);

    RenderResult Render(const TileAddress& tile, RgbImage& image) override;
    std::string CacheKey() const override;
    std::string Describe() const override { return m_name; }
    // Reads through the network (a URL or a description of a web service).
    bool NeedsNetwork() const { return m_network; }

    // The dataset, and for a palette source the RGB view of it that refers to it.
    struct Handle {
        DatasetPtr Original;
        DatasetPtr Expanded;
        std::unique_ptr<TileWarper> Warper;  // declared last: gone first
        GDALDataset* Use() const { return Expanded ? Expanded.get() : Original.get(); }
    };

private:
    explicit RasterSource(std::string name) : m_name(std::move(name)) {}
    // A dataset handle of this source for one thread at a time (GDAL handles are not shared).
    std::unique_ptr<Handle> Take(std::string& error);
    void Give(std::unique_ptr<Handle> handle);

    std::string m_name;
    std::string m_signature;  // what identifies the data behind the name (size and time of a file)
    bool m_network = false;
    std::mutex m_lock;
    std::vector<std::unique_ptr<Handle>> m_idle;
};
