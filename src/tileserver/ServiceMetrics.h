#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

// What the server has done, for GET /metrics in Prometheus' text format. Thread-safe.
class ServiceMetrics {
public:
    void CountRequest(int status);
    void CountCacheHit();
    void CountRender(const std::string& source, double seconds);

    // The text, with the figures only the caller knows: the renders waiting for a worker and
    // each source's failures.
    std::string Text(int queueDepth, const std::map<std::string, uint64_t>& sourceFailures) const;

    // Upper bounds of the render time histogram's buckets, in seconds.
    static constexpr std::array<double, 11> kBuckets{0.005, 0.01, 0.025, 0.05, 0.1, 0.25, 0.5, 1, 2.5, 5, 10};

private:
    mutable std::mutex m_lock;
    std::map<int, uint64_t> m_requests;
    uint64_t m_cacheHits = 0;
    std::map<std::string, uint64_t> m_rendered;
    std::array<uint64_t, kBuckets.size()> m_renderBuckets{};  // counts at or under each bound
    uint64_t m_renderCount = 0;
    double m_renderSum = 0;
};
