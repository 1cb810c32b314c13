// Composing a whole map from cached tiles, against decoding the same tiles alone, and saving a
// full-size map.
#include <algorithm>
#include <cmath>
#include <memory>

#include <QCoreApplication>
#include <QImageReader>
#include <QRandomGenerator>
#include <QStringList>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include "MapPicture.h"
#include "MapSaver.h"
#include "Prompter.h"

namespace {

constexpr int TilesEachWay = 8;

// Photo-like content: broad gradients with fine noise, so the JPEGs are as busy as real ones.
QImage PhotoLikeTile(quint32 seed)
{
    QImage tile(200, 200, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    const double phase = random.bounded(6.28);
    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 200; ++x) {
            const int noise = int(random.bounded(40)) - 20;
            const int base = int(100 + 60 * std::sin(phase + x / 23.0) * std::cos(y / 31.0));
            tile.setPixel(x, y, qRgb(std::clamp(base + noise, 0, 255),
                                     std::clamp(base + 30 + noise / 2, 0, 255),
                                     std::clamp(base - 20 + noise, 0, 255)));
        }
    }
    return tile;
}

// The tile library of one 8 x 8 map, made once for the whole program.
struct TileLibrary {
    QTemporaryDir folder;
    QStringList files;

    TileLibrary()
    {
        for (int i = 0; i < TilesEachWay * TilesEachWay; ++i) {
            const QString file = folder.filePath(QString("1-10-10-%1-%2.JPG").arg(i % 8).arg(i / 8));
            PhotoLikeTile(quint32(i)).save(file, "jpg", 75);
            files << file;
        }
    }
};

TileLibrary& Library()
{
    static int argc = 1;
    static char name[] = "bench_compose";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
    static TileLibrary library;
    return library;
}

void DecodeTilesAlone(benchmark::State& state)
{
    const QStringList& files = Library().files;
    for (auto _ : state) {
        for (const QString& file : files) {
            QImageReader reader(file, "jpg");
            reader.setAutoDetectImageFormat(false);
            QImage tile = reader.read();
            benchmark::DoNotOptimize(tile.constBits());
        }
    }
    state.SetItemsProcessed(state.iterations() * files.size());
}
BENCHMARK(DecodeTilesAlone)->Unit(benchmark::kMillisecond);

// A whole download's worth of pasting: clear, then 64 tiles top row first, each followed by
// the preview update (only the part the tile touched, or, for comparison, the whole preview).
void ComposeMap(benchmark::State& state, bool wholeRedraws)
{
    const QStringList& files = Library().files;
    MapPicture picture;
    picture.SizeMapPicture(TilesEachWay, TilesEachWay);
    picture.SetPreviewSize(600, 600);
    for (auto _ : state) {
        picture.Clear();
        int i = 0;
        for (int16_t row = TilesEachWay - 1; row >= 0; --row) {
            for (int16_t column = 0; column < TilesEachWay; ++column) {
                benchmark::DoNotOptimize(picture.PasteTile(files[i++], column, row));
                if (wholeRedraws)
                    picture.DrawPreview();
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * files.size());
}

void ComposeMapWithPreview(benchmark::State& state)
{
    ComposeMap(state, false);
}
BENCHMARK(ComposeMapWithPreview)->Unit(benchmark::kMillisecond);

void ComposeMapWithWholeRedraws(benchmark::State& state)
{
    ComposeMap(state, true);
}
BENCHMARK(ComposeMapWithWholeRedraws)->Unit(benchmark::kMillisecond);

class AlwaysYes : public Prompter {
public:
    bool Ask(Question, const QString&) override { return true; }
    void Inform(const QString&) override {}
    void Warn(const QString& text) override { qWarning("%s", qPrintable(text)); }
    void InformTimed(const QString&, int) override {}
};

// A 1600 x 1600 map saved as JPEG with its calibration file, overwriting the previous save.
void SaveFullSizeMap(benchmark::State& state)
{
    const QStringList& files = Library().files;
    MapPicture picture;
    picture.SizeMapPicture(TilesEachWay, TilesEachWay);
    for (int i = 0; i < files.size(); ++i)
        picture.PasteTile(files[i], int16_t(i % 8), int16_t(i / 8));
    QTemporaryDir maps;
    SaveRequest request;
    request.FileNameOption = 0;
    request.Description = QStringLiteral("Lake Union");
    request.MapsFolder = maps.path() + QLatin1Char('/');
    request.WestLongitude = -122.351234;
    request.NorthLatitude = 47.650987;
    request.EastLongitude = -122.284321;
    request.SouthLatitude = 47.605432;
    AlwaysYes prompter;
    for (auto _ : state) {
        if (SaveMap(picture.Map(), request, prompter).isEmpty())
            state.SkipWithError("save failed");
    }
}
BENCHMARK(SaveFullSizeMap)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
