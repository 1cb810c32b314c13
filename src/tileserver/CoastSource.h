#pragma once

#include <future>
#include <memory>
#include <string>

#include "CoastData.h"
#include "TileSource.h"

// The embedded default map, drawn from GSHHG geography that Debian ships, with no network:
// photo tiles fill land and water in two colours (rivers as water); topographic tiles draw
// shorelines, rivers and borders on paper.
class CoastSource : public TileSource {
public:
    // Prepares the data in `folder` on a thread of its own; tiles wait for it the first time.
    explicit CoastSource(std::string folder);
    // Over data already in hand (tests).
    explicit CoastSource(std::shared_ptr<const CoastData> data);

    RenderResult Render(const TileAddress& tile, RgbImage& image) override;
    std::string CacheKey() const override { return std::string("embedded\n") + CoastData::FileName() + "\nstyle 1"; }
    std::string Describe() const override { return "the embedded map (GSHHG shorelines, rivers and borders)"; }

    // Waits for the data; nullptr with the reason when it could not be prepared.
    std::shared_ptr<const CoastData> Data(std::string& error);

    static constexpr Rgb kWater{46, 92, 150};
    static constexpr Rgb kLand{118, 146, 84};
    static constexpr Rgb kShoreLine{40, 90, 180};
    static constexpr Rgb kRiverLine{80, 140, 220};
    static constexpr Rgb kBorderLine{150, 40, 150};

private:
    struct Prepared {
        std::shared_ptr<const CoastData> Data;
        std::string Error;
    };
    std::shared_future<Prepared> m_prepared;
};
