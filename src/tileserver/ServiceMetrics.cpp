#include "ServiceMetrics.h"

#include <cstdio>

namespace {

// A label value with the characters the format escapes escaped.
std::string Label(const std::string& value)
{
    std::string out;
    for (char c : value) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c == '\n' ? std::string("\\n") : std::string(1, c);
    }
    return out;
}

std::string Number(double value)
{
    char text[32];
    snprintf(text, sizeof text, "%.9g", value);
    return text;
}

}  // namespace

void ServiceMetrics::CountRequest(int status)
{
    std::lock_guard<std::mutex> lock(m_lock);
    ++m_requests[status];
}

void ServiceMetrics::CountCacheHit()
{
    std::lock_guard<std::mutex> lock(m_lock);
    ++m_cacheHits;
}

void ServiceMetrics::CountRender(const std::string& source, double seconds)
{
    std::lock_guard<std::mutex> lock(m_lock);
    ++m_rendered[source];
    ++m_renderCount;
    m_renderSum += seconds;
    for (size_t i = 0; i < kBuckets.size(); ++i)
        m_renderBuckets[i] += seconds <= kBuckets[i];
}

std::string ServiceMetrics::Text(int queueDepth, const std::map<std::string, uint64_t>& sourceFailures) const
{
    std::lock_guard<std::mutex> lock(m_lock);
    std::string text;
    const auto head = [&text](const char* name, const char* type, const char* help) {
        text += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
    };
    head("quiltmap_requests_total", "counter", "HTTP requests answered, by status code.");
    for (const auto& [code, count] : m_requests)
        text += "quiltmap_requests_total{code=\"" + std::to_string(code) + "\"} " + std::to_string(count) + "\n";
    head("quiltmap_cache_hits_total", "counter", "Tiles answered from the disk cache.");
    text += "quiltmap_cache_hits_total " + std::to_string(m_cacheHits) + "\n";
    head("quiltmap_tiles_rendered_total", "counter", "Tiles rendered, by the source that drew them.");
    for (const auto& [source, count] : m_rendered)
        text += "quiltmap_tiles_rendered_total{source=\"" + Label(source) + "\"} " + std::to_string(count) + "\n";
    head("quiltmap_render_seconds", "histogram", "Time to render and encode a tile.");
    for (size_t i = 0; i < kBuckets.size(); ++i)
        text += "quiltmap_render_seconds_bucket{le=\"" + Number(kBuckets[i]) + "\"} " + std::to_string(m_renderBuckets[i]) + "\n";
    text += "quiltmap_render_seconds_bucket{le=\"+Inf\"} " + std::to_string(m_renderCount) + "\n";
    text += "quiltmap_render_seconds_sum " + Number(m_renderSum) + "\nquiltmap_render_seconds_count " +
            std::to_string(m_renderCount) + "\n";
    head("quiltmap_queue_depth", "gauge", "Renders waiting for a worker.");
    text += "quiltmap_queue_depth " + std::to_string(queueDepth) + "\n";
    head("quiltmap_source_failures_total", "counter", "Failures of each source.");
    for (const auto& [source, count] : sourceFailures)
        text += "quiltmap_source_failures_total{source=\"" + Label(source) + "\"} " + std::to_string(count) + "\n";
    return text;
}
