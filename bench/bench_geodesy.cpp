#include "Mapstuff.h"

#include <benchmark/benchmark.h>

// One reference point through both conversions, as a map request does for each corner.
static void BM_ForwardAndInverseWgs84(benchmark::State& state)
{
    Mapstuff::UtmPoint point;
    point.EllipsoidIndex = 22;
    for (auto _ : state) {
        point.Latitude = 40.0;
        point.Longitude = -107.5;
        benchmark::DoNotOptimize(Mapstuff::LatLongToUtm(point));
        benchmark::DoNotOptimize(Mapstuff::UtmToLatLong(point));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ForwardAndInverseWgs84);

BENCHMARK_MAIN();
