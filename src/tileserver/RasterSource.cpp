#include "RasterSource.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cmath>

#include <gdal_utils.h>

namespace {

// A palette source is expanded to RGB first, so that the warp blends colours, not indices.
std::unique_ptr<RasterSource::Handle> OpenExpanded(const std::string& name, std::string& error)
{
    GdalErrorCollector errors;
    DatasetPtr dataset(GDALDataset::Open(name.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
    if (!dataset) {
        error = errors.Failed() ? errors.FirstFailure() : "GDAL cannot open it as a raster";
        return nullptr;
    }
    if (dataset->GetRasterCount() < 1) {
        error = "it has no raster bands";
        return nullptr;
    }
    if (!dataset->GetSpatialRef() && dataset->GetGCPCount() == 0) {
        error = "it has no coordinate system, so its place on the map is unknown";
        return nullptr;
    }
    if (dataset->GetRasterCount() == 1 && dataset->GetRasterBand(1)->GetColorTable()) {
        const char* arguments[] = {"-of", "VRT", "-expand", "rgba", nullptr};
        const TranslateOptionsPtr options(GDALTranslateOptionsNew(const_cast<char**>(arguments), nullptr));
        DatasetPtr expanded(GDALDataset::FromHandle(GDALTranslate("", dataset.get(), options.get(), nullptr)));
        if (!expanded) {
            error = "its palette could not be expanded";
            return nullptr;
        }
        return std::unique_ptr<RasterSource::Handle>(new RasterSource::Handle{std::move(dataset), std::move(expanded), nullptr});
    }
    return std::unique_ptr<RasterSource::Handle>(new RasterSource::Handle{std::move(dataset), nullptr, nullptr});
}

bool IsUrl(const std::string& name)
{
    return name.find("://") != std::string::npos || name.rfind("/vsicurl", 0) == 0;
}

// Whether GDAL's message says the server was not reached at all (curl's words for a name that
// does not resolve, a refused connection, a time-out; HTTP status 0: no answer at all), rather
// than that it answered badly.
bool SaysUnreachable(std::string message)
{
    std::transform(message.begin(), message.end(), message.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    for (const char* words : {"resolve", "failed to connect", "couldn't connect", "could not connect", "connection refused",
                              "timed out", "timeout", "network is unreachable", "no route to host",
                              "response_code=0", "response code: 0"})
        if (message.find(words) != std::string::npos)
            return true;
    return false;
}

}  // namespace

std::unique_ptr<RasterSource> RasterSource::Open(const std::string& name, std::string& error)
{
    InitialiseGdal();
    std::unique_ptr<RasterSource> source(new RasterSource(name));
    source->m_network = IsUrl(name);
    if (source->m_network)
        return source;
    std::unique_ptr<Handle> dataset = OpenExpanded(name, error);
    if (!dataset)
        return nullptr;
    if (GDALDriver* driver = dataset->Original->GetDriver()) {
        const std::string kind = driver->GetDescription();
        source->m_network = kind == "WMS" || kind == "WMTS" || kind == "EEDA" || kind == "PLMosaic";
    }
    struct stat status {};
    if (stat(name.c_str(), &status) == 0)
        source->m_signature = std::to_string(status.st_size) + "-" + std::to_string(status.st_mtime);
    source->Give(std::move(dataset));
    return source;
}

std::unique_ptr<RasterSource::Handle> RasterSource::Take(std::string& error)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_idle.empty()) {
            std::unique_ptr<Handle> dataset = std::move(m_idle.back());
            m_idle.pop_back();
            return dataset;
        }
    }
    return OpenExpanded(m_name, error);
}

void RasterSource::Give(std::unique_ptr<Handle> dataset)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_idle.push_back(std::move(dataset));
}

std::string RasterSource::CacheKey() const
{
    return "raster\n" + m_name + "\n" + m_signature;
}

RenderResult RasterSource::Render(const TileAddress& tile, RgbImage& image)
{
    std::string error;
    std::unique_ptr<Handle> source = Take(error);
    if (!source) {
        RenderResult failed{false, "The source " + m_name + " cannot be opened: " + error};
        failed.Unreachable = SaysUnreachable(error);
        if (IsUrl(m_name)) {
            // GDAL does not say why a URL did not open (no answer, or no dataset there); either
            // way the server cannot deliver now. GDAL also remembers what it found at the URL:
            // the next trial asks afresh.
            failed.Unreachable = true;
            VSICurlPartialClearCache(m_name.c_str());
        }
        return failed;
    }

    const TileExtent extent = ExtentOf(tile);
    if (!source->Warper)
        source->Warper = std::make_unique<TileWarper>(source->Use());
    GdalErrorCollector errors;
    std::vector<uint8_t> planes;  // colour bands, then the coverage (alpha) band
    int colourBands = 0;
    const bool warped = source->Warper->Warp(extent.West, extent.South, extent.East, extent.North, tile.Zone, image.Width,
                                             planes, colourBands, error);
    if (!warped || errors.Failed()) {
        // A failed read may leave the handle in a poor state: drop it rather than pool it.
        RenderResult failed{false, "The source " + m_name + " did not deliver: " + (errors.Failed() ? errors.FirstFailure() : error)};
        failed.Unreachable = SaysUnreachable(failed.Error);
        return failed;
    }
    Give(std::move(source));

    const Rgb background = BackgroundOf(tile.Type);
    const size_t count = image.Pixels.size();
    const uint8_t* alpha = planes.data() + size_t(colourBands) * count;
    if (std::all_of(alpha, alpha + count, [](uint8_t a) { return a == 0; })) {
        RenderResult outside;
        outside.Covered = false;
        return outside;
    }
    for (size_t i = 0; i < count; ++i) {
        const uint8_t r = planes[i];
        const uint8_t g = colourBands >= 3 ? planes[count + i] : r;
        const uint8_t b = colourBands >= 3 ? planes[2 * count + i] : r;
        const unsigned a = alpha[i];
        auto blend = [a](uint8_t value, uint8_t ground) { return uint8_t((value * a + ground * (255 - a) + 127) / 255); };
        image.Pixels[i] = {blend(r, background.R), blend(g, background.G), blend(b, background.B)};
    }
    return {};
}
