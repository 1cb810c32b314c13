// Whole processes: quiltmap-make making an 8 x 8 map whose 64 tiles are all in its tile library,
// against GDAL mosaicking the same 64 tiles (world files beside them) with gdalbuildvrt and
// gdal_translate -of JPEG. Each iteration runs the programs from start to end.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include "MapRequest.h"
#include "TileLibrary.h"

extern char** environ;

namespace {

// Exit status of a program run without a shell; -1 when it could not start.
int RunProgram(const std::vector<std::string>& arguments)
{
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    // The saved map's path is not part of the measure's output.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int started = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0)
        return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) < 0 || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// A tile with the texture of an aerial photograph: smooth fields with grain.
QImage PhotoTile(int seed)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> grain(-18, 18);
    QImage tile(200, 200, QImage::Format_RGB32);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x) {
            const int base = 90 + (x * 3 + y * 2 + seed * 17) % 80;
            tile.setPixel(x, y, qRgb(qBound(0, base + grain(random), 255), qBound(0, base + 25 + grain(random), 255),
                                     qBound(0, base - 20 + grain(random), 255)));
        }
    return tile;
}

// One folder holding a copy of quiltmap-make (its program folder), its tile library with the
// 64 tiles of the map and a world file beside each.
struct Workplace {
    QTemporaryDir folder;
    std::string program;
    std::vector<std::string> makeArguments;
    std::string tileList;
    std::string vrt;
    std::string gdalJpeg;
    bool ready = false;

    Workplace()
    {
        const QString root = folder.path();
        program = (root + "/quiltmap-make").toStdString();
        if (!QFile::copy(QStringLiteral(QUILTMAP_MAKE), QString::fromStdString(program)))
            return;
        qputenv("WINEPREFIX", (root + "/no-wine").toUtf8());

        ListChoices lists;
        lists.ScaleIndex = 0;
        lists.WidthIndex = 7;
        lists.HeightIndex = 7;
        MapRequest request;
        TileGrid grid;
        if (!BuildTileGrid(lists, 47 + 36.37 / 60, -(122 + 21.07 / 60), request, grid))
            return;
        const QString library = root + "/Tile Library/";
        QDir().mkpath(library);
        QFile list(root + "/tiles.txt");
        if (!list.open(QIODevice::WriteOnly))
            return;
        for (int column = 0; column < 8; ++column)
            for (int row = 0; row < 8; ++row) {
                const TileAddress key{1, grid.ScaleCode, grid.Zone, grid.FirstTileX + column, grid.FirstTileY + row};
                const QString base = TileFileBaseName(library, key);
                if (!PhotoTile(column * 8 + row).save(base + ".JPG", "JPEG", 75))
                    return;
                QFile world(base + ".JGW");
                const double west = double(key.X) * grid.TileMetres;
                const double north = double(key.Y + 1) * grid.TileMetres;
                if (!world.open(QIODevice::WriteOnly)
                    || world.write(QStringLiteral("1\n0\n0\n-1\n%1\n%2\n").arg(west + 0.5, 0, 'f', 1).arg(north - 0.5, 0, 'f', 1).toLatin1()) < 0)
                    return;
                list.write((base + ".JPG\n").toUtf8());
            }
        list.close();
        tileList = list.fileName().toStdString();
        vrt = (root + "/mosaic.vrt").toStdString();
        gdalJpeg = (root + "/mosaic.jpg").toStdString();
        makeArguments = {program, "--lat", "47.36.37", "--long", "122.21.07", "--tiles", "8x8", "--metres", "1",
                         "--description", "Bench", "--overwrite", "--quiet", "--tile-server", "http://127.0.0.1:9",
                         "--maps", (root + "/maps").toStdString()};
        ready = true;
    }
};

Workplace& Place()
{
    static Workplace place;
    return place;
}

void BM_QuiltmapMake8x8Cached(benchmark::State& state)
{
    Workplace& place = Place();
    if (!place.ready) {
        state.SkipWithError("could not set up the tile library");
        return;
    }
    for (auto _ : state)
        if (RunProgram(place.makeArguments) != 0)
            state.SkipWithError("quiltmap-make failed");
}
BENCHMARK(BM_QuiltmapMake8x8Cached)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

void BM_GdalBuildVrtTranslate8x8(benchmark::State& state)
{
    Workplace& place = Place();
    if (!place.ready || QStandardPaths::findExecutable("gdalbuildvrt").isEmpty()) {
        state.SkipWithError("gdalbuildvrt (package gdal-bin) or the tile library is missing");
        return;
    }
    for (auto _ : state) {
        if (RunProgram({"gdalbuildvrt", "-q", "-overwrite", "-input_file_list", place.tileList, place.vrt}) != 0
            || RunProgram({"gdal_translate", "-q", "-of", "JPEG", place.vrt, place.gdalJpeg}) != 0)
            state.SkipWithError("GDAL failed");
    }
}
BENCHMARK(BM_GdalBuildVrtTranslate8x8)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
