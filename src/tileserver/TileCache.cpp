#include "TileCache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

std::string HashText(std::string_view bytes)
{
    uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : bytes) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    char name[17];
    snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(hash));
    return name;
}

namespace {

bool WriteAll(int fd, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

// A whole JPEG starts with its SOI marker and ends with EOI; a whole GIF starts with its
// signature and ends with its trailer byte.
bool LooksWhole(const std::string& bytes, int type)
{
    if (type == 2)
        return bytes.size() > 13 && bytes.compare(0, 3, "GIF") == 0 && bytes.back() == '\x3B';
    return bytes.size() > 4 && bytes.compare(0, 3, "\xFF\xD8\xFF") == 0 && bytes.compare(bytes.size() - 2, 2, "\xFF\xD9") == 0;
}

}  // namespace

std::string TileCache::PathOf(const std::string& sourceKey, const TileAddress& tile) const
{
    return m_folder + "/tiles/" + HashText(sourceKey) + "/" + TileFileName(tile, ServedFormat(tile.Type));
}

std::optional<std::string> TileCache::Read(const std::string& sourceKey, const TileAddress& tile, std::time_t* modified) const
{
    if (m_folder.empty())
        return std::nullopt;
    const int fd = ::open(PathOf(sourceKey, tile).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::string bytes;
    struct stat status {};
    if (fstat(fd, &status) == 0 && status.st_size > 0 && status.st_size < (16 << 20)) {
        bytes.resize(size_t(status.st_size));
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
            if (n <= 0)
                break;
            done += size_t(n);
        }
        bytes.resize(done);
    }
    ::close(fd);
    if (bytes.empty() || bytes.size() != size_t(status.st_size))
        return std::nullopt;
    if (!LooksWhole(bytes, tile.Type)) {
        // Damaged on disk after it was written whole: rendered anew rather than served.
        ::unlink(PathOf(sourceKey, tile).c_str());
        return std::nullopt;
    }
    if (modified)
        *modified = status.st_mtime;
    return bytes;
}

bool TileCache::Write(const std::string& sourceKey, const TileAddress& tile, const std::string& bytes) const
{
    if (m_folder.empty() || bytes.empty())
        return false;
    static std::atomic<unsigned> counter{0};
    const std::string path = PathOf(sourceKey, tile);
    std::error_code failure;
    fs::create_directories(fs::path(path).parent_path(), failure);
    const std::string part = path + "." + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".part";
    const int fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool written = WriteAll(fd, bytes);
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(part.c_str(), path.c_str()) != 0) {
        ::unlink(part.c_str());
        return false;
    }
    return true;
}
