#include "HotTiles.h"

std::shared_ptr<const HotTiles::Tile> HotTiles::Find(const std::string& key)
{
    std::lock_guard<std::mutex> lock(m_lock);
    const auto found = m_index.find(key);
    if (found == m_index.end())
        return nullptr;
    m_order.splice(m_order.begin(), m_order, found->second);
    return found->second->second;
}

void HotTiles::Keep(const std::string& key, std::shared_ptr<const Tile> tile)
{
    if (!tile)
        return;
    Entry entry{key, std::move(tile)};
    const size_t size = SizeOf(entry);
    if (size > m_capacity / 16)
        return;
    std::lock_guard<std::mutex> lock(m_lock);
    if (const auto found = m_index.find(key); found != m_index.end()) {
        m_bytes -= SizeOf(*found->second);
        m_order.erase(found->second);
        m_index.erase(found);
    }
    m_order.push_front(std::move(entry));
    m_index.emplace(key, m_order.begin());
    m_bytes += size;
    while (m_bytes > m_capacity) {
        m_bytes -= SizeOf(m_order.back());
        m_index.erase(m_order.back().first);
        m_order.pop_back();
    }
}

size_t HotTiles::Bytes() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_bytes;
}
