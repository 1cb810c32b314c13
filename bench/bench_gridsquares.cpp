// The grid squares of a full-size map: the geometry alone, and the geometry drawn into the map
// picture with its labels, as a finished download does it.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

#include "GridSquares.h"
#include "GridSquaresPainter.h"
#include "MapRequest.h"

namespace {

// 8 x 8 tiles centred on 47 N 122 W at 2^scaleIndex metres per pixel.
PixelMapping MapAt(int16_t scaleIndex)
{
    static int argc = 1;
    static char name[] = "bench_gridsquares";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication application(argc, argv);
    ListChoices lists;
    lists.ScaleIndex = scaleIndex;
    lists.WidthIndex = lists.HeightIndex = 7;
    MapRequest request;
    TileGrid grid;
    BuildTileGrid(lists, 47, -122, request, grid);
    return MapPixelMapping(grid);
}

void Geometry(benchmark::State& state)
{
    const PixelMapping mapping = MapAt(int16_t(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(GridSquaresIn(QRectF(0, 0, 1600, 1600), mapping));
}
BENCHMARK(Geometry)->Arg(0)->Arg(6)->Arg(9)->Unit(benchmark::kMillisecond);

void DrawIntoMap(benchmark::State& state)
{
    const PixelMapping mapping = MapAt(int16_t(state.range(0)));
    QImage map(1600, 1600, QImage::Format_RGB32);
    for (auto _ : state) {
        map.fill(Qt::white);
        QPainter painter(&map);
        DrawGridSquares(painter, QRectF(map.rect()), mapping);
    }
}
BENCHMARK(DrawIntoMap)->Arg(0)->Arg(6)->Arg(9)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
