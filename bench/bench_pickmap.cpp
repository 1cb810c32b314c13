// The "Pick on Map" overview: painting a whole 1200 x 800 view from tiles already at hand, and one
// pan step of a drag (the view moved, the tiles it now wants listed, the view painted again, the
// grid squares' layer drawn anew whenever the view leaves it).
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

#include "GridSquares.h"
#include "TileLibrary.h"
#include "frmPickOnMap.h"

namespace {

constexpr double SeattleLat = 47.0 + 36.37 / 60.0;
constexpr double SeattleLong = -(122.0 + 21.07 / 60.0);

struct Overview {
    PickView View;
    OverviewScene Scene;
    QImage Target{1200, 800, QImage::Format_RGB32};
    OverviewPainter Painter;

    Overview()
    {
        View.Open(SeattleLat, SeattleLong, 14, 1200, 800);
        ListChoices lists;
        lists.ScaleIndex = 4;
        lists.WidthIndex = lists.HeightIndex = 7;
        Scene.HasGrid = View.MapGrid(lists, Scene.Request, Scene.Grid);
        Scene.InLibrary.assign(64, false);
        for (size_t i = 0; i < Scene.InLibrary.size(); i += 3)
            Scene.InLibrary[i] = true;
        // Every tile within a few screens, as a drag finds them after a while.
        View.Resize(4000, 3000);
        for (const TileAddress& tile : View.CoveringTiles(1)) {
            QImage picture(200, 200, QImage::Format_RGB32);
            picture.fill(QColor::fromHsv((tile.X * 37 + tile.Y * 11) % 360, 90, 200));
            Scene.Pictures.insert(TileFileBaseName(QString(), tile), picture);
        }
        View.Resize(1200, 800);
    }
    void Paint()
    {
        QPainter painter(&Target);
        Painter.Paint(painter, View, Scene);
    }
};

// Argument: 1 with the grid squares (the dialog's default), 0 without. Nothing is kept from
// one paint to the next, as when the dialog opens or changes scale.
void BM_PaintFullView(benchmark::State& state)
{
    Overview overview;
    overview.Scene.GridSquares = state.range(0) != 0;
    for (auto _ : state) {
        // Anew each time: no layer kept from the paint before.
        overview.Painter = OverviewPainter();
        overview.Paint();
        benchmark::DoNotOptimize(overview.Target.constBits());
    }
}
BENCHMARK(BM_PaintFullView)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_GridSquaresOfView(benchmark::State& state)
{
    Overview overview;
    const PickView::Point topLeft = overview.View.ScreenToUtm(0, 0);
    for (auto _ : state) {
        const GridSquares grid = GridSquaresIn(QRectF(0, 0, 1200, 800),
                                               UtmPixelMapping(22, overview.View.Zone(), overview.View.Band(), topLeft.X,
                                                               topLeft.Y, overview.View.MetresPerPixel()));
        benchmark::DoNotOptimize(grid.Lines.data());
    }
}
BENCHMARK(BM_GridSquaresOfView)->Unit(benchmark::kMillisecond);

// Argument: pixels a step (7: a drag; 250: each step past the grid layer, drawn anew).
void BM_PanStep(benchmark::State& state)
{
    Overview overview;
    int step = 0;
    const int turn = int(140 / state.range(0));
    for (auto _ : state) {
        // Back and forth, so the view stays among the tiles at hand.
        const double dx = double((step++ / std::max(turn, 1)) % 2 ? -state.range(0) : state.range(0));
        overview.View.Pan(dx, dx / 2);
        overview.Painter.Panned();
        size_t wanted = 0;
        for (const TileAddress& tile : overview.View.CoveringTiles(1))
            wanted += !overview.Scene.Pictures.contains(TileFileBaseName(QString(), tile));
        benchmark::DoNotOptimize(wanted);
        overview.Paint();
    }
}
BENCHMARK(BM_PanStep)->Arg(7)->Arg(250)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
