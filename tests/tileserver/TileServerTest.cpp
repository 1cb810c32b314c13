#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include <QTemporaryDir>

#include "CoastSource.h"
#include "HotTiles.h"
#include "Mapstuff.h"
#include "RasterSource.h"
#include "ServerOptions.h"
#include "TileServerTesting.h"

namespace {

namespace fs = std::filesystem;

TEST(TileServer, MalformedRequestsAre4xxAndTheServerGoesOnServing)
{
    QTemporaryDir cache;
    RunningTileServer server(cache.path().toStdString());
    const struct { const char* Path; int Status; const char* Says; } cases[] = {
        {"/tile.ashx?T=1&S=14&X=171&Y=1647", 400, "Parameter Z is missing."},
        {"/tile.ashx?T=1&T=1&S=14&X=171&Y=1647&Z=10", 400, "Parameter T is given more than once."},
        {"/tile.ashx?T=1&S=14&X=-1&Y=1647&Z=10", 400, "Parameter X must be a whole decimal number, not \"-1\"."},
        {"/tile.ashx?T=1&S=14&X=99999999999999999999&Y=1&Z=10", 400, "Parameter X must be a whole decimal number"},
        {"/tile.ashx?T=3&S=14&X=171&Y=1647&Z=10", 400, "Parameter T is out of range (1 to 2)."},
        {"/tile.ashx?T=1&S=20&X=171&Y=1647&Z=10", 400, "Parameter S is out of range (10 to 19)."},
        {"/tile.ashx?T=1&S=14&X=171&Y=1647&Z=61", 400, "Parameter Z is out of range (1 to 60)."},
        {"/tile.ashx?T=1&S=14&X=533&Y=1647&Z=10", 400, "Tile X=533 lies beyond the zone at this scale"},
        {"/tile.ashx?T=1&S=14&X=171&Y=%31&Z=10", 400, "Parameter Y must be a whole decimal number"},
        {"/tiles/1/2/3", 404, "Not found"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Path);
        const auto answer = server.Get(c.Path);
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->status, c.Status);
        EXPECT_EQ(answer->body.rfind(c.Says, 0), 0u) << answer->body;
        EXPECT_EQ(std::count(answer->body.begin(), answer->body.end(), '\n'), 1);
    }
    // Still serving, and a tile just inside the zone's bounds is a tile.
    const auto answer = server.Get(TilePath(1, 14, 312, 1647));
    EXPECT_TRUE(answer && answer->status == 200 && answer->get_header_value("Content-Type") == "image/jpeg");
}

// The HTTP library would let a second server share a port in use (SO_REUSEPORT) and split the
// requests between the two.
TEST(TileServer, ASecondServerCannotTakeAPortInUse)
{
    QTemporaryDir cache;
    RunningTileServer first(cache.path().toStdString());
    TileService service(MarkerSource(), MarkerSource(), TileCache(""), 1);
    TileHttpServer second(service, false);
    std::string error;
    EXPECT_FALSE(second.Bind("127.0.0.1", first.Port(), error));
    EXPECT_NE(error.find("cannot listen on 127.0.0.1:" + std::to_string(first.Port())), std::string::npos) << error;
}

TEST(TileServer, CommandLine)
{
    using Action = ServerOptionsResult::Action;
    using Names = std::vector<std::string>;
    const Names web{"usgs-imagery", "embedded"}, embedded{"embedded"};
    const struct { Names Arguments; Action What; std::string Host; int Port, Workers; Names Photo, Topo; int MaxAge; } cases[] = {
        {{}, Action::Serve, "127.0.0.1", 8421, 0, web, {"usgs-topo", "embedded"}, 604800},
        {{"--listen=[::1]:8080", "--workers", "3", "--photo=usgs-imagery", "--max-age=60"}, Action::Serve, "::1", 8080, 3, {"usgs-imagery"}, {"usgs-topo", "embedded"}, 60},
        {{"--listen", ":8422", "--topo", "a.tif,b.vrt,embedded"}, Action::Serve, "127.0.0.1", 8422, 0, web, {"a.tif", "b.vrt", "embedded"}, 604800},
        {{"--offline"}, Action::Serve, "127.0.0.1", 8421, 0, embedded, embedded, 604800},
        {{"--help"}, Action::Help, "", 0, 0, {}, {}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.Arguments));
        const ServerOptionsResult result = ParseServerOptions(c.Arguments);
        EXPECT_EQ(result.What, c.What) << result.Error;
        const ServerOptions& o = result.Options;
        if (c.What == Action::Serve) {
            EXPECT_EQ(std::tie(o.Host, o.Port, o.Workers, o.Photo, o.Topo, o.MaxAge), std::tie(c.Host, c.Port, c.Workers, c.Photo, c.Topo, c.MaxAge));
        }
    }
    for (const Names& arguments : {Names{"--listen", "localhost"}, Names{"--listen", "127.0.0.1:70000"}, Names{"--workers", "0"},
                                   Names{"--max-age", "-1"}, Names{"--photo", "a.tif,,embedded"}, Names{"--colour", "red"}}) {
        const ServerOptionsResult result = ParseServerOptions(arguments);
        EXPECT_TRUE(result.What == Action::Fail && !result.Error.empty()) << testing::PrintToString(arguments);
    }
}

// Each marker shows where the program's grid puts it: PROJ's easting and northing on the
// program's ellipsoid, relative to the tile's corner.
TEST(TileServer, MarkersOfAGeographicSourceLandWhereTheProgramsGridPutsThem)
{
    QTemporaryDir cache;
    RunningTileServer server(cache.path().toStdString());
    for (int k = 0; k < 12; ++k) {
        const int type = 1 + k / 6, scale = k / 3 % 2 ? 13 : 10;
        const Marker& marker = kMarkers[k % 3];
        SCOPED_TRACE(testing::Message() << "T=" << type << " S=" << scale << " marker " << marker.Longitude);
        const double side = double(TileMetres(scale)), pixelMetres = side / 200;
        const int64_t x = int64_t(std::floor(marker.Easting / side)), y = int64_t(std::floor(marker.Northing / side));
        const double expectedX = (marker.Easting - double(x) * side) / pixelMetres;
        const double expectedY = (double(y + 1) * side - marker.Northing) / pixelMetres;
        const auto answer = server.Get(TilePath(type, scale, x, y));
        ASSERT_TRUE(answer && answer->status == 200);
        EXPECT_EQ(answer->body.substr(0, 3), type == 2 ? "GIF" : "\xFF\xD8\xFF");
        RgbImage tile;
        ASSERT_TRUE(DecodeTile(answer->body, tile));
        EXPECT_TRUE(RedCentredAt(tile, expectedX, expectedY, scale == 10 ? 30 : 8));
    }
    // Outside the source: a plain background tile.
    const auto outside = server.Get(TilePath(1, 10, 2700, 26300));
    ASSERT_TRUE(outside && outside->status == 200);
    RgbImage tile;
    ASSERT_TRUE(DecodeTile(outside->body, tile));
    EXPECT_LE(std::abs(tile.At(100, 100).R - kPhotoBackground.R), 2);
}

TEST(TileServer, RepeatedRequestIsReadFromTheCacheAndSourcesDoNotShareIt)
{
    QTemporaryDir cache;
    const std::string path = TilePath(1, 13, 342, 3295);
    const auto markers = [&cache] { return std::make_unique<RunningTileServer>(cache.path().toStdString()); };
    std::string first = markers()->Get(path)->body;
    // Another server on the same cache answers from it, and nothing half written is left there.
    // A tile damaged on disk is rendered anew by a server that has not kept it in memory.
    const std::string stored = TileCache(cache.path().toStdString()).PathOf(MarkerSource()->CacheKey(), {1, 13, 10, 342, 3295});
    for (const bool damaged : {false, true}) {
        if (damaged)
            fs::resize_file(stored, first.size() / 2);
        const auto answer = markers()->Get(path);
        ASSERT_TRUE(answer && answer->status == 200);
        EXPECT_EQ(answer->get_header_value("X-Cache"), damaged ? "miss" : "hit");
        EXPECT_EQ(answer->body, first);
        EXPECT_EQ(fs::file_size(stored), first.size());
    }
    for (const auto& entry : fs::recursive_directory_iterator(cache.path().toStdString()))
        EXPECT_EQ(entry.path().string().find(".part"), std::string::npos) << entry.path();
    // The embedded map on the same folder renders anew.
    RunningTileServer embedded(std::make_unique<CoastSource>(EmbeddedDataFolder()),
                               std::make_unique<CoastSource>(EmbeddedDataFolder()), cache.path().toStdString());
    EXPECT_EQ(embedded.Get(path)->get_header_value("X-Cache"), "miss");
}

// The shipped descriptions of the National Map open (no network is needed for that) and cover
// the world in Web Mercator.
TEST(TileServer, NationalMapDescriptionsOpen)
{
    for (const char* name : {"usgs-imagery.xml", "usgs-topo.xml"}) {
        SCOPED_TRACE(name);
        InitialiseGdal();
        DatasetPtr dataset(GDALDataset::Open((std::string(QUILTMAP_SOURCE_DESCRIPTIONS "/") + name).c_str(), GDAL_OF_RASTER));
        ASSERT_TRUE(dataset && dataset->GetSpatialRef());
        EXPECT_STREQ(dataset->GetSpatialRef()->GetAuthorityCode(nullptr), "3857");
        double t[6];
        ASSERT_EQ(dataset->GetGeoTransform(t), CE_None);
        EXPECT_TRUE(std::abs(t[0] + 20037508.34) < 0.01 && std::abs(t[3] - 20037508.34) < 0.01 &&
                    std::abs(t[0] + t[1] * dataset->GetRasterXSize() - 20037508.34) < 0.01) << t[0] << " " << t[3];
        EXPECT_EQ(dataset->GetRasterCount(), 3);
    }
}

// A data file cut short or of another kind is not taken for the embedded map's data.
TEST(TileServer, DamagedEmbeddedDataIsRefused)
{
    const std::string whole = EmbeddedDataFolder() + "/" + CoastData::FileName();
    std::ifstream in(whole, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    ASSERT_TRUE(CoastData::Load(whole));
    QTemporaryDir folder;
    const struct { const char* Name; std::string Bytes; } cases[] = {
        {"empty", ""},
        {"one byte short", bytes.substr(0, bytes.size() - 1)},
        {"one byte long", bytes + "x"},
        {"another kind of file", "GIF89a" + bytes.substr(6)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string path = folder.filePath(QString::fromLatin1(c.Name)).toStdString();
        std::ofstream(path, std::ios::binary) << c.Bytes;
        EXPECT_FALSE(CoastData::Load(path));
    }
}

// A conversion cut short by a stopped server leaves its work folder; the next one removes those
// of processes that are gone, and no other.
TEST(TileServer, StaleConversionWorkIsRemoved)
{
    const pid_t gone = fork();
    if (gone == 0)
        _exit(0);
    ASSERT_GT(gone, 0);
    waitpid(gone, nullptr, 0);
    QTemporaryDir folder;
    const std::string root = folder.path().toStdString();
    const std::string names[] = {"gmt-work-" + std::to_string(gone), "gmt-work-" + std::to_string(getpid()),
                                 "gmt-work-1", "gmt-work-x", "embedded"};
    for (const std::string& name : names)
        std::filesystem::create_directories(root + "/" + name + "/inner");
    CoastData::RemoveStaleWork(root);
    for (const std::string& name : names)
        EXPECT_EQ(std::filesystem::exists(root + "/" + name), name != names[0]) << name;
}

// Land and water of the embedded map agree with GMT's own land test (gmt select) on sample
// pixels away from any shore: Seattle at 16 m/pixel, the Great Lakes at 512 m/pixel.
TEST(TileServer, EmbeddedLandAndWaterAgreeWithGmt)
{
    CoastSource source(EmbeddedDataFolder());
    std::string error;
    ASSERT_TRUE(source.Data(error)) << error;
    const TileAddress tiles[] = {{1, 14, 10, 171, 1647}, {1, 14, 10, 172, 1648}, {1, 14, 10, 170, 1646},
                                 {1, 19, 17, 4, 45}, {1, 19, 17, 3, 46}, {1, 19, 17, 5, 45}, {1, 19, 16, 6, 47}};
    QTemporaryDir folder;
    const std::string input = folder.filePath("samples.txt").toStdString();
    std::ofstream out(input);
    out.precision(12);
    std::vector<bool> land;  // by sample
    for (const TileAddress& tile : tiles) {
        RgbImage image;
        ASSERT_TRUE(source.Render(tile, image).Ok);
        const TileExtent extent = ExtentOf(tile);
        const double pixelMetres = double(TileMetres(tile.Scale)) / 200;
        for (int j = 10; j < 200; j += 15) {
            for (int i = 10; i < 200; i += 15) {
                bool uniform = true;  // away from shores: the same colour 6 pixels all around
                for (int d = 0; d < 13 * 13 && uniform; ++d)
                    uniform = image.At(std::clamp(i + d % 13 - 6, 0, 199), std::clamp(j + d / 13 - 6, 0, 199)) == image.At(i, j);
                if (!uniform)
                    continue;
                Mapstuff::UtmPoint point;
                point.EllipsoidIndex = 22, point.Zone = int16_t(tile.Zone), point.Band = "N";
                point.Easting = extent.West + (i + 0.5) * pixelMetres;
                point.Northing = extent.North - (j + 0.5) * pixelMetres;
                ASSERT_EQ(Mapstuff::UtmToLatLong(point), Mapstuff::UtmOk);
                ASSERT_TRUE(image.At(i, j) == CoastSource::kLand || image.At(i, j) == CoastSource::kWater);
                out << point.Longitude << ' ' << point.Latitude << ' ' << land.size() << '\n';
                land.push_back(image.At(i, j) == CoastSource::kLand);
            }
        }
    }
    out.close();
    const auto dry = std::count(land.begin(), land.end(), true);
    ASSERT_TRUE(dry > 50 && std::ssize(land) - dry > 50) << dry << " of " << land.size();
    // Keeps dry points: land and islands in lakes, not the sea, lakes or ponds.
    ASSERT_EQ(std::system(("gmt select -Dh -Ns/k/s/k/s " + input + " > " + input + ".dry").c_str()), 0);
    std::ifstream lines(input + ".dry");
    std::vector<bool> gmtLand(land.size(), false);
    double lon = 0, lat = 0;
    for (size_t index = 0; lines >> lon >> lat >> index;) {
        ASSERT_LT(index, land.size());
        gmtLand[index] = true;
    }
    EXPECT_EQ(gmtLand, land);
}

// Memory stays within its bound, the tile least recently asked for going first; a tile too
// large for it is not kept.
TEST(HotTiles, KeepsWithinItsBoundGivingUpTheLeastRecentlyAskedFor)
{
    HotTiles hot(16 * 1024);
    const auto tile = [](size_t bytes) { return std::make_shared<HotTiles::Tile>(HotTiles::Tile{std::string(bytes, 'j'), "\"e\"", 0}); };
    for (const char* key : {"a", "b", "c", "d"})
        hot.Keep(key, tile(900));
    ASSERT_TRUE(hot.Find("a"));
    for (int i = 0; i < 40; ++i) {
        hot.Keep("new" + std::to_string(i), tile(900));
        hot.Find("a");
        EXPECT_LE(hot.Bytes(), 16u * 1024);
    }
    hot.Keep("large", tile(2000));
    EXPECT_TRUE(hot.Find("a") && !hot.Find("b") && hot.Find("new39") && !hot.Find("large"));
}

}  // namespace
