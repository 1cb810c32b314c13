#include "CoastData.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>

#include <gmt/gmt.h>

namespace fs = std::filesystem;

namespace {

constexpr char kMagic[8] = {'Q', 'M', 'C', 'O', 'A', 'S', 'T', '1'};

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Reads GMT's multisegment dump: "> Shore Bin # 3898, Level 1" headers, then "lon<TAB>lat" lines.
bool ParseDump(const std::string& text, CoastData::Kind kind, std::vector<CoastData::Line>& lines)
{
    const char* at = text.data();
    const char* end = at + text.size();
    CoastData::Line* current = nullptr;
    while (at < end) {
        const char* eol = static_cast<const char*>(memchr(at, '\n', size_t(end - at)));
        if (!eol)
            eol = end;
        if (*at == '>') {
            lines.push_back({kind, 0, false, {}});
            current = &lines.back();
            const char* level = strstr(at, "Level ");
            if (level && level < eol)
                std::from_chars(level + 6, eol, current->Level);
        } else if (at < eol && current) {
            double lon = 0, lat = 0;
            const char* p = at;
            auto first = std::from_chars(p, eol, lon);
            p = first.ptr;
            while (p < eol && (*p == '\t' || *p == ' '))
                ++p;
            auto second = std::from_chars(p, eol, lat);
            if (first.ec != std::errc() || second.ec != std::errc())
                return false;
            current->Points.push_back({int32_t(std::lround(lon / CoastData::kMicro)), int32_t(std::lround(lat / CoastData::kMicro))});
        }
        at = eol + 1;
    }
    for (CoastData::Line& line : lines)
        line.Closed = line.Points.size() > 2 && line.Points.front().Lon == line.Points.back().Lon &&
                      line.Points.front().Lat == line.Points.back().Lat;
    return true;
}

template <typename T>
void Put(std::string& out, const T& value)
{
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

template <typename T>
bool Get(const std::string& in, size_t& at, T& value)
{
    if (in.size() - at < sizeof value)
        return false;
    memcpy(&value, in.data() + at, sizeof value);
    at += sizeof value;
    return true;
}

// GMT keeps process-wide state; one conversion at a time.
std::mutex gGmtLock;

struct GmtSessionEnd {
    void operator()(void* api) const { GMT_Destroy_Session(api); }
};
// A GMT API session; ended before the work folder it wrote into is removed.
using GmtSession = std::unique_ptr<void, GmtSessionEnd>;

}  // namespace

// Turns GMT's dumps into the data file.
class CoastDataBuilder {
public:
    static bool Build(const std::string& folder, const std::string& target, char resolution, std::string& error);
};

std::string CoastData::FileName(char resolution)
{
    return std::string("gshhg-") + resolution + "-v1.qmcoast";
}

bool CoastData::Installed(char resolution)
{
    // Where Debian's gmt-gshhg-* packages put the binned shorelines for GMT.
    std::error_code failure;
    return fs::exists(std::string("/usr/share/gmt-gshhg/binned_GSHHS_") + resolution + ".nc", failure);
}

size_t CoastData::PointCount() const
{
    size_t count = 0;
    for (const Line& line : m_lines)
        count += line.Points.size();
    return count;
}

bool CoastData::Index()
{
    m_bins.assign(size_t(m_columns) * size_t(m_rows), {});
    const double micro = 1 / kMicro;
    for (uint32_t i = 0; i < m_lines.size(); ++i) {
        const Line& line = m_lines[i];
        if (line.Points.empty())
            continue;
        int32_t minLon = INT32_MAX, maxLon = INT32_MIN, minLat = INT32_MAX, maxLat = INT32_MIN;
        for (const Point& p : line.Points) {
            minLon = std::min(minLon, p.Lon), maxLon = std::max(maxLon, p.Lon);
            minLat = std::min(minLat, p.Lat), maxLat = std::max(maxLat, p.Lat);
        }
        // GMT cuts every line at its bins' edges, so a line's middle names its bin.
        const double lon = (double(minLon) + double(maxLon)) / 2 / micro;
        const double lat = (double(minLat) + double(maxLat)) / 2 / micro;
        const int column = int(std::floor((lon + 180) / m_binSize));
        const int row = int(std::floor(lat / m_binSize));
        if (column < 0 || column >= m_columns || row < 0 || row >= m_rows)
            continue;  // a sliver south of the equator
        m_bins[size_t(row) * size_t(m_columns) + size_t(column)].push_back(i);
    }
    return true;
}

std::shared_ptr<const CoastData> CoastData::Load(const std::string& path)
{
    const std::string bytes = ReadWholeFile(path);
    if (bytes.size() < sizeof kMagic || memcmp(bytes.data(), kMagic, sizeof kMagic) != 0)
        return nullptr;
    auto data = std::make_shared<CoastData>();
    size_t at = sizeof kMagic;
    uint32_t lineCount = 0;
    if (!Get(bytes, at, data->m_binSize) || !Get(bytes, at, data->m_columns) || !Get(bytes, at, data->m_rows))
        return nullptr;
    if (!(data->m_binSize > 0.1 && data->m_binSize <= 90) || data->m_columns != int(std::lround(360 / data->m_binSize)) ||
        data->m_rows != int(std::lround(90 / data->m_binSize)))
        return nullptr;
    const size_t nodes = size_t(data->m_columns + 1) * size_t(data->m_rows + 1);
    if (bytes.size() - at < nodes)
        return nullptr;
    data->m_cornerLevels.assign(bytes.begin() + long(at), bytes.begin() + long(at + nodes));
    at += nodes;
    if (!Get(bytes, at, lineCount))
        return nullptr;
    data->m_lines.resize(lineCount);
    for (Line& line : data->m_lines) {
        uint8_t kind = 0, closed = 0;
        uint32_t count = 0;
        if (!Get(bytes, at, kind) || !Get(bytes, at, line.Level) || !Get(bytes, at, closed) || !Get(bytes, at, count) ||
            kind > 2 || (bytes.size() - at) / sizeof(Point) < count)
            return nullptr;
        line.What = Kind(kind);
        line.Closed = closed != 0;
        line.Points.resize(count);
        memcpy(line.Points.data(), bytes.data() + at, count * sizeof(Point));
        at += count * sizeof(Point);
    }
    if (at != bytes.size() || !data->Index())
        return nullptr;
    return data;
}

bool CoastDataBuilder::Build(const std::string& folder, const std::string& target, char resolution, std::string& error)
{
    std::lock_guard<std::mutex> lock(gGmtLock);
    const std::string work = folder + "/gmt-work-" + std::to_string(getpid());
    std::error_code ignored;
    fs::create_directories(work, ignored);
    const std::string shores = work + "/shores.txt", rivers = work + "/rivers.txt", borders = work + "/borders.txt";
    const std::string levels = work + "/levels.grd=bf", levelText = work + "/levels.txt";

    GmtSession session(GMT_Create_Session("quiltmap-tileserver", GMT_PAD_DEFAULT,
                                          GMT_SESSION_NOEXIT | GMT_SESSION_EXTERNAL | GMT_SESSION_NOHISTORY, nullptr));
    void* const api = session.get();
    if (!api) {
        error = "GMT could not be started (is the package libgmt6 installed?)";
        fs::remove_all(work, ignored);
        return false;
    }
    // The northern hemisphere at the resolution asked for: the shorelines of every level, all
    // rivers, national and state borders; and each bin corner's level.
    const std::string region = std::string("-R-180/180/0/90 -D") + resolution;
    const std::string calls[][2] = {
        {"coast", region + " -W -M ->" + shores},
        {"coast", region + " -Ia -M ->" + rivers},
        {"coast", region + " -Na -M ->" + borders},
    };
    for (const auto& call : calls) {
        if (GMT_Call_Module(api, call[0].c_str(), GMT_MODULE_CMD, const_cast<char*>(call[1].c_str())) != GMT_NOERROR) {
            error = "GMT could not read the GSHHG shorelines (are the packages gmt-gshhg-high and gmt-dcw installed?)";
            session.reset();
            fs::remove_all(work, ignored);
            return false;
        }
    }

    CoastData data;
    std::vector<CoastData::Line> lines;
    bool parsed = ParseDump(ReadWholeFile(shores), CoastData::Kind::Shore, lines) &&
                  ParseDump(ReadWholeFile(rivers), CoastData::Kind::River, lines) &&
                  ParseDump(ReadWholeFile(borders), CoastData::Kind::Border, lines);

    // The bin size: the shore pieces that GMT cut end on multiples of it.
    double binSize = 0;
    for (double candidate : {1.0, 2.0, 5.0, 10.0, 20.0}) {
        bool fits = true;
        int ends = 0;
        for (const CoastData::Line& line : lines) {
            if (line.What != CoastData::Kind::Shore || line.Closed)
                continue;
            for (const CoastData::Point& p : {line.Points.front(), line.Points.back()}) {
                const double lon = p.Lon * CoastData::kMicro, lat = p.Lat * CoastData::kMicro;
                const auto onGrid = [candidate](double v) { return std::fabs(v / candidate - std::round(v / candidate)) < 1e-6; };
                fits = fits && (onGrid(lon) || onGrid(lat));
                ++ends;
            }
            if (!fits)
                break;
        }
        if (fits && ends > 0)
            binSize = candidate;
    }
    if (!parsed || binSize == 0) {
        error = "GMT's shoreline dump could not be read";
        session.reset();
        fs::remove_all(work, ignored);
        return false;
    }

    char increment[64];
    snprintf(increment, sizeof increment, " -I%g -N0/1/2/3/4 -G", binSize);
    const std::string maskArguments = region + increment + levels;
    const std::string dumpArguments = levels + " ->" + levelText;
    const bool masked =
        GMT_Call_Module(api, "grdlandmask", GMT_MODULE_CMD, const_cast<char*>(maskArguments.c_str())) == GMT_NOERROR &&
        GMT_Call_Module(api, "grd2xyz", GMT_MODULE_CMD, const_cast<char*>(dumpArguments.c_str())) == GMT_NOERROR;
    session.reset();

    data.m_binSize = binSize;
    data.m_columns = int(std::lround(360 / binSize));
    data.m_rows = int(std::lround(90 / binSize));
    data.m_cornerLevels.assign(size_t(data.m_columns + 1) * size_t(data.m_rows + 1), 0);
    if (masked) {
        std::istringstream in(ReadWholeFile(levelText));
        double lon = 0, lat = 0, level = 0;
        while (in >> lon >> lat >> level) {
            const long column = std::lround((lon + 180) / binSize), row = std::lround(lat / binSize);
            if (column >= 0 && column <= data.m_columns && row >= 0 && row <= data.m_rows)
                data.m_cornerLevels[size_t(row) * size_t(data.m_columns + 1) + size_t(column)] = uint8_t(level);
        }
    }
    fs::remove_all(work, ignored);
    if (!masked) {
        error = "GMT could not compute the land mask";
        return false;
    }

    std::string out(kMagic, sizeof kMagic);
    Put(out, data.m_binSize);
    Put(out, data.m_columns);
    Put(out, data.m_rows);
    out.append(reinterpret_cast<const char*>(data.m_cornerLevels.data()), data.m_cornerLevels.size());
    Put(out, uint32_t(lines.size()));
    for (const CoastData::Line& line : lines) {
        Put(out, uint8_t(line.What));
        Put(out, line.Level);
        Put(out, uint8_t(line.Closed));
        Put(out, uint32_t(line.Points.size()));
        out.append(reinterpret_cast<const char*>(line.Points.data()), line.Points.size() * sizeof(CoastData::Point));
    }
    // Written beside its name and renamed when whole: a second server may be reading it.
    const std::string part = target + "." + std::to_string(getpid()) + ".part";
    {
        std::ofstream file(part, std::ios::binary | std::ios::trunc);
        file.write(out.data(), std::streamsize(out.size()));
        if (!file.good()) {
            error = "the data file " + part + " could not be written";
            fs::remove(part, ignored);
            return false;
        }
    }
    fs::rename(part, target, ignored);
    if (ignored) {
        error = "the data file " + target + " could not be stored: " + ignored.message();
        fs::remove(part, ignored);
        return false;
    }
    return true;
}

void CoastData::RemoveStaleWork(const std::string& folder)
{
    static const std::string prefix = "gmt-work-";
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(folder, ignored)) {
        const std::string name = entry.path().filename().string();
        long pid = 0;
        const char* digits = name.c_str() + prefix.size();
        const auto [end, failure] = std::from_chars(digits, name.c_str() + name.size(), pid);
        if (name.rfind(prefix, 0) != 0 || failure != std::errc() || *end != 0 || pid <= 0 || pid == getpid())
            continue;
        if (kill(pid_t(pid), 0) != 0 && errno == ESRCH)
            fs::remove_all(entry.path(), ignored);
    }
}

std::shared_ptr<const CoastData> CoastData::Prepare(const std::string& folder, char resolution, std::string& error)
{
    std::error_code failure;
    fs::create_directories(folder, failure);
    if (failure) {
        error = "the folder " + folder + " cannot be created: " + failure.message();
        return nullptr;
    }
    const std::string path = folder + "/" + FileName(resolution);
    if (auto data = Load(path))
        return data;
    RemoveStaleWork(folder);
    if (!CoastDataBuilder::Build(folder, path, resolution, error))
        return nullptr;
    auto data = Load(path);
    if (!data)
        error = "the data file " + path + " could not be read back";
    return data;
}
