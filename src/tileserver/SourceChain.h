#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "TileSource.h"

// Sources tried in order for each tile: a source that fails hands the tile to the next, a tile
// outside a source goes to the next without counting against it. A source that cannot be
// reached is skipped after its first such failure (others after kFailuresToSkip running) and
// gets one trial request each kTrialDelay. Thread-safe.
class SourceChain {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    using Log = std::function<void(const std::string& line)>;
    static constexpr int kFailuresToSkip = 3;
    static constexpr std::chrono::seconds kTrialDelay{60};

    struct Link {
        std::string Name;  // as the operator named it, for the log and the metrics
        std::shared_ptr<TileSource> Source;
    };
    // `log` gets one line when a source is skipped and when it is back; `clock` stands in for
    // the steady clock in tests.
    explicit SourceChain(std::vector<Link> links, Log log = {}, Clock clock = {});
    // One source alone.
    explicit SourceChain(std::unique_ptr<TileSource> source);

    struct Drawn {
        RenderResult Result;  // a failure when no source delivered (the last one's)
        std::string Source;   // the name of the source that drew the tile
        bool Final = false;   // drawn by the source that ought to draw it: false after an earlier
                              // source failed or was skipped, or when the drawing is provisional
    };
    Drawn Render(const TileAddress& tile, RgbImage& image);

    // Names the chain in the disk cache.
    std::string CacheKey() const;
    std::string Describe() const;
    // Every source's data is prepared.
    bool Ready() const;
    // Some source is not skipped: the chain draws tiles, if perhaps not from its first source.
    bool Serving() const;
    // Failures so far, added to `counts` by source name.
    void CountFailures(std::map<std::string, uint64_t>& counts) const;
    const std::vector<Link>& Links() const { return m_links; }

private:
    struct State {
        int Failures = 0;  // running
        uint64_t AllFailures = 0;
        bool Skipped = false;
        bool OnTrial = false;
        std::chrono::steady_clock::time_point TrialAt;
    };
    // Whether link `i` may be asked now; takes the trial when one is due.
    bool MayAsk(size_t i);
    void Record(size_t i, const RenderResult& result);

    std::vector<Link> m_links;
    Log m_log;
    Clock m_clock;
    mutable std::mutex m_lock;
    std::vector<State> m_states;
};
