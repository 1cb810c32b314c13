#pragma once

#include <cstddef>
#include <ctime>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

// Final tiles answered lately, kept in memory up to a number of bytes, the least recently asked
// for given up first: a repeated tile then costs no file open, read or hash. Thread-safe.
class HotTiles {
public:
    struct Tile {
        std::string Body;
        std::string ETag;
        std::time_t LastModified = 0;
    };

    explicit HotTiles(size_t capacityBytes) : m_capacity(capacityBytes) {}

    std::shared_ptr<const Tile> Find(const std::string& key);
    // A tile larger than a sixteenth of the capacity is not kept: it would push out too many.
    void Keep(const std::string& key, std::shared_ptr<const Tile> tile);
    size_t Bytes() const;

private:
    using Entry = std::pair<std::string, std::shared_ptr<const Tile>>;
    static size_t SizeOf(const Entry& entry) { return entry.first.size() + entry.second->Body.size() + entry.second->ETag.size() + 64; }

    const size_t m_capacity;
    mutable std::mutex m_lock;
    std::list<Entry> m_order;  // most recently asked for first
    std::unordered_map<std::string, std::list<Entry>::iterator> m_index;
    size_t m_bytes = 0;
};
