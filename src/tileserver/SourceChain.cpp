#include "SourceChain.h"

#include <exception>

SourceChain::SourceChain(std::vector<Link> links, Log log, Clock clock)
    : m_links(std::move(links)), m_log(std::move(log)), m_clock(std::move(clock)), m_states(m_links.size())
{
    if (!m_clock)
        m_clock = [] { return std::chrono::steady_clock::now(); };
}

SourceChain::SourceChain(std::unique_ptr<TileSource> source) : SourceChain(std::vector<Link>{{source->Describe(), std::move(source)}})
{
}

bool SourceChain::MayAsk(size_t i)
{
    std::lock_guard<std::mutex> lock(m_lock);
    State& state = m_states[i];
    if (!state.Skipped)
        return true;
    if (state.OnTrial || m_clock() < state.TrialAt)
        return false;
    state.OnTrial = true;
    return true;
}

void SourceChain::Record(size_t i, const RenderResult& result)
{
    std::string line;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        State& state = m_states[i];
        const std::string& name = m_links[i].Name;
        const bool wasSkipped = state.Skipped;
        state.OnTrial = false;
        if (result.Ok) {
            state.Failures = 0;
            state.Skipped = false;
            if (wasSkipped)
                line = "source " + name + " is back";
        } else {
            ++state.Failures;
            ++state.AllFailures;
            if (wasSkipped || result.Unreachable || state.Failures >= kFailuresToSkip) {
                state.Skipped = true;
                state.TrialAt = m_clock() + kTrialDelay;
                const std::string why = wasSkipped            ? " still fails"
                                        : result.Unreachable ? " cannot be reached"
                                                             : " failed " + std::to_string(state.Failures) + " times running";
                line = "source " + name + why + " (" + result.Error + "); skipped, next trial in " +
                       std::to_string(kTrialDelay.count()) + " s";
            }
        }
    }
    if (!line.empty() && m_log)
        m_log(line);
}

SourceChain::Drawn SourceChain::Render(const TileAddress& tile, RgbImage& image)
{
    Drawn drawn;
    drawn.Result = {false, "No source could be asked for the tile.", 502};
    bool degraded = false;     // an earlier source failed or was skipped
    const Link* outside = nullptr;  // the last source that had the tile outside its coverage
    for (size_t i = 0; i < m_links.size(); ++i) {
        if (!MayAsk(i)) {
            degraded = true;
            continue;
        }
        image.Fill(BackgroundOf(tile.Type));
        RenderResult result;
        try {
            result = m_links[i].Source->Render(tile, image);
        } catch (const std::exception& failure) {
            result = {false, "The source " + m_links[i].Name + " failed: " + failure.what(), 500};
        } catch (...) {
            result = {false, "The source " + m_links[i].Name + " failed.", 500};
        }
        Record(i, result);
        if (!result.Ok) {
            degraded = true;
            drawn.Result = result;
            continue;
        }
        if (!result.Covered) {
            outside = &m_links[i];
            continue;
        }
        drawn.Result = result;
        drawn.Source = m_links[i].Name;
        drawn.Final = !degraded && !result.Provisional;
        return drawn;
    }
    if (outside) {
        // No source covers the tile: a plain background.
        image.Fill(BackgroundOf(tile.Type));
        drawn.Result = {};
        drawn.Source = outside->Name;
        drawn.Final = !degraded;
    }
    return drawn;
}

std::string SourceChain::CacheKey() const
{
    std::string key;
    for (const Link& link : m_links)
        key += (key.empty() ? "" : "\n--\n") + link.Source->CacheKey();
    return key;
}

std::string SourceChain::Describe() const
{
    std::string text;
    for (const Link& link : m_links)
        text += (text.empty() ? "" : ", then ") + link.Source->Describe();
    return text;
}

bool SourceChain::Ready() const
{
    for (const Link& link : m_links)
        if (!link.Source->Ready())
            return false;
    return true;
}

bool SourceChain::Serving() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    for (const State& state : m_states)
        if (!state.Skipped)
            return true;
    return false;
}

void SourceChain::CountFailures(std::map<std::string, uint64_t>& counts) const
{
    std::lock_guard<std::mutex> lock(m_lock);
    for (size_t i = 0; i < m_links.size(); ++i)
        counts[m_links[i].Name] += m_states[i].AllFailures;
}
