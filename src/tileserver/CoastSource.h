#pragma once

#include <future>
#include <memory>
#include <string>

#include "CoastData.h"
#include "TileSource.h"

// The embedded default map, drawn from GSHHG geography that Debian ships, with no network:
// photo tiles fill land and water in two colours (rivers as water); topographic tiles are
// paper with water filled, shorelines, rivers and borders drawn. At kFullScale and finer the
// full resolution is used when it is installed; until it is prepared those tiles are drawn
// from the high resolution and marked provisional.
class CoastSource : public TileSource {
public:
    struct Prepared {
        std::shared_ptr<const CoastData> Data;
        std::string Error;
    };

    // Prepares the data in `folder` on threads of its own (the high resolution first, then the
    // full one when `full`); tiles wait for the high resolution the first time.
    explicit CoastSource(std::string folder, bool full = CoastData::Installed('f'));
    // Over data already in hand (tests); `full` when given stands for the full resolution.
    explicit CoastSource(std::shared_ptr<const CoastData> data, std::shared_future<Prepared> full = {});

    RenderResult Render(const TileAddress& tile, RgbImage& image) override;
    std::string CacheKey() const override;
    std::string Describe() const override;
    bool Ready() const override;

    // Waits for the high resolution; nullptr with the reason when it could not be prepared.
    std::shared_ptr<const CoastData> Data(std::string& error);
    // Waits for the full resolution, when there is one to prepare (the process ending).
    void WaitForFull();

    static constexpr int kFullScale = 15;  // 32 m/pixel
    static constexpr int kWideShoreScale = 16;  // 64 m/pixel: shores 2 pixels wide from here down
    static constexpr Rgb kWater{46, 92, 150};
    static constexpr Rgb kLand{118, 146, 84};
    static constexpr Rgb kMapWater{170, 211, 240};
    static constexpr Rgb kShoreLine{30, 80, 160};
    static constexpr Rgb kRiverLine{70, 150, 230};
    static constexpr Rgb kBorderLine{150, 40, 150};

private:
    std::shared_future<Prepared> m_prepared;
    std::shared_future<Prepared> m_full;  // not valid: no full resolution
};
