// Tile rendering of the tile server: the embedded map, a local geographic GeoTIFF at 1 m/pixel,
// and a cached tile. `bench_tileserver --write-source FILE` writes the GeoTIFF that the load run
// (tileserver-load.sh) serves; `--write-source FILE COLUMNS ROWS` a larger one of the same kind
// (tileserver-peers.sh).
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>
#include <gdal_priv.h>

#include "CoastSource.h"
#include "GdalSupport.h"
#include "RasterSource.h"
#include "TileCache.h"
#include "TileEncoder.h"
#include "TileService.h"

namespace {

namespace fs = std::filesystem;

// Photo-like content over 8 x 6 km of Seattle (by default), 1.1 m pixels, JPEG-compressed as aerial
// photographs usually are.
bool WriteSource(const std::string& path, int columns = 7200, int rows = 5400)
{
    InitialiseGdal();
    constexpr double kWest = -122.400, kNorth = 47.614, kLonStep = 1.5e-5, kLatStep = 1e-5;
    const char* options[] = {"COMPRESS=JPEG", "PHOTOMETRIC=YCBCR", "TILED=YES", nullptr};
    DatasetPtr tiff(GetGDALDriverManager()->GetDriverByName("GTiff")->Create(path.c_str(), columns, rows, 3, GDT_Byte,
                                                                             const_cast<char**>(options)));
    if (!tiff)
        return false;
    double transform[6] = {kWest, kLonStep, 0, kNorth, 0, -kLatStep};
    tiff->SetGeoTransform(transform);
    OGRSpatialReference wgs84;
    wgs84.importFromEPSG(4326);
    tiff->SetSpatialRef(&wgs84);
    std::vector<uint8_t> strip(size_t(columns) * 256 * 3);
    uint32_t seed = 12345;
    for (int top = 0; top < rows; top += 256) {
        const int height = std::min(256, rows - top);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < columns; ++x) {
                seed = seed * 1664525u + 1013904223u;
                const int noise = int(seed >> 27) - 16;
                const int base = int(110 + 60 * std::sin(x / 37.0) * std::cos((top + y) / 53.0));
                for (int b = 0; b < 3; ++b)
                    strip[(size_t(b) * 256 + size_t(y)) * columns + size_t(x)] = uint8_t(std::clamp(base + noise + b * 15, 0, 255));
            }
        }
        if (tiff->RasterIO(GF_Write, 0, top, columns, height, strip.data(), columns, height, GDT_Byte, 3, nullptr, 0,
                           0, size_t(columns) * 256, nullptr) != CE_None)
            return false;
    }
    return true;
}

const std::string& SourceFile()
{
    static const std::string path = [] {
        const std::string file = (fs::temp_directory_path() / "quiltmap-bench-photo.tif").string();
        if (!fs::exists(file))
            WriteSource(file);
        return file;
    }();
    return path;
}

const std::string& EmbeddedFolder()
{
    static const std::string folder = (fs::temp_directory_path() / "quiltmap-bench-embedded").string();
    return folder;
}

// Tiles of the GeoTIFF at 1 m/pixel, a different one each time.
void BM_RenderGeoTiffPhoto1m(benchmark::State& state)
{
    std::string error;
    auto source = RasterSource::Open(SourceFile(), error);
    if (!source) {
        state.SkipWithError(error.c_str());
        return;
    }
    int k = 0;
    for (auto _ : state) {
        RgbImage image;
        TileAddress tile{1, 10, 10, 2718 + k % 30, 26350 + (k / 30) % 25};
        ++k;
        benchmark::DoNotOptimize(source->Render(tile, image));
        benchmark::DoNotOptimize(EncodeJpeg(image));
    }
}
BENCHMARK(BM_RenderGeoTiffPhoto1m)->Unit(benchmark::kMillisecond);

// The embedded map around Puget Sound at 16 m/pixel (photo: filled; topo: lines and a GIF).
void BM_RenderEmbedded(benchmark::State& state)
{
    CoastSource source(EmbeddedFolder());
    std::string error;
    if (!source.Data(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    const int type = int(state.range(0));
    int k = 0;
    for (auto _ : state) {
        RgbImage image;
        TileAddress tile{type, 14, 10, 160 + k % 20, 1640 + (k / 20) % 20};
        ++k;
        benchmark::DoNotOptimize(source.Render(tile, image));
        benchmark::DoNotOptimize(type == 2 ? EncodeGif(image) : EncodeJpeg(image));
    }
}
BENCHMARK(BM_RenderEmbedded)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_ReadCachedTile(benchmark::State& state)
{
    const std::string folder = (fs::temp_directory_path() / "quiltmap-bench-cache").string();
    TileCache cache(folder);
    const TileAddress tile{1, 14, 10, 171, 1647};
    cache.Write("bench", tile, std::string(9000, 'j'));
    for (auto _ : state)
        benchmark::DoNotOptimize(cache.Read("bench", tile));
    fs::remove_all(folder);
}
BENCHMARK(BM_ReadCachedTile)->Unit(benchmark::kMicrosecond);

// A cached tile through the whole service: parsing, the cache read and the ETag's hash.
void BM_AnswerCachedTile(benchmark::State& state)
{
    const std::string folder = (fs::temp_directory_path() / "quiltmap-bench-service").string();
    TileService service(std::make_unique<CoastSource>(EmbeddedFolder(), false), std::make_unique<CoastSource>(EmbeddedFolder(), false),
                        TileCache(folder), 1);
    const std::string query = "T=" + std::to_string(state.range(0)) + "&S=14&X=171&Y=1647&Z=10";
    if (service.Answer(query).Status != 200)
        state.SkipWithError("the tile could not be rendered");
    for (auto _ : state)
        benchmark::DoNotOptimize(service.Answer(query));
    fs::remove_all(folder);
}
BENCHMARK(BM_AnswerCachedTile)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

}  // namespace

// The floor of the load run (tileserver-peers.sh): `--floor FILE` renders and encodes each tile of
// the run's block once, on one thread, as the server would without HTTP or its cache, and prints
// the wall time a tile.
int RenderFloor(const std::string& file)
{
    std::string error;
    auto source = RasterSource::Open(file, error);
    if (!source) {
        fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    constexpr int kColumns = 78, kTiles = 600;
    const auto start = std::chrono::steady_clock::now();
    for (int k = 0; k < kTiles; ++k) {
        RgbImage image;
        benchmark::DoNotOptimize(source->Render({1, 10, 10, 2727 + k % kColumns, 26310 + k / kColumns}, image));
        benchmark::DoNotOptimize(EncodeJpeg(image));
    }
    printf("%.3f\n", std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() / kTiles);
    return 0;
}

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--floor") == 0)
        return RenderFloor(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "--write-source") == 0)
        return WriteSource(argv[2]) ? 0 : 1;
    if (argc == 5 && std::strcmp(argv[1], "--write-source") == 0)
        return WriteSource(argv[2], std::clamp(std::atoi(argv[3]), 256, 65536), std::clamp(std::atoi(argv[4]), 256, 65536)) ? 0 : 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
