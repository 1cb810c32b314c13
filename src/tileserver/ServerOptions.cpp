#include "ServerOptions.h"

#include <unistd.h>

#include <charconv>
#include <cstdlib>

namespace {

bool ReadNumber(const std::string& text, int low, int high, int& value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value >= low && value <= high;
}

// "HOST:PORT", "[IPv6]:PORT" or ":PORT".
bool ReadListen(const std::string& text, std::string& host, int& port)
{
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || !ReadNumber(text.substr(colon + 1), 1, 65535, port))
        return false;
    host = text.substr(0, colon);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    if (host.empty())
        host = "127.0.0.1";
    return true;
}

// "A,B,C": names in order, none empty.
bool ReadChain(const std::string& text, std::vector<std::string>& names)
{
    names.clear();
    size_t from = 0;
    while (true) {
        const size_t comma = text.find(',', from);
        names.push_back(text.substr(from, comma == std::string::npos ? std::string::npos : comma - from));
        if (names.back().empty())
            return false;
        if (comma == std::string::npos)
            return true;
        from = comma + 1;
    }
}

}  // namespace

const char* ServerUsage()
{
    return "Usage: quiltmap-tileserver [--listen HOST:PORT] [--photo A,B,...] [--topo A,B,...] [--offline]\n"
           "                           [--cache DIR] [--workers N] [--max-queue N] [--max-age SECONDS]\n"
           "\n"
           "Serves Quiltmap's map tiles: GET /tile.ashx?T=type&S=scale&X=x&Y=y&Z=zone.\n"
           "\n"
           "  --listen HOST:PORT  where to listen (default 127.0.0.1:8421)\n"
           "  --photo A,B,...     sources of aerial photo tiles (T=1), tried in order\n"
           "                      (default usgs-imagery,embedded)\n"
           "  --topo A,B,...      sources of topographic map tiles (T=2), tried in order\n"
           "                      (default usgs-topo,embedded)\n"
           "                      a source: a GeoTIFF, VRT or MBTiles file, a GDAL WMS/TMS description of a\n"
           "                      web service, a URL GDAL reads, usgs-imagery or usgs-topo (the USGS\n"
           "                      National Map), or embedded (the offline map from GSHHG)\n"
           "  --offline           never use the network: the chains default to embedded\n"
           "  --cache DIR         rendered tiles and the embedded map's data\n"
           "                      (default $XDG_CACHE_HOME/quiltmap-tileserver)\n"
           "  --workers N         tiles rendered at once (default: one per processor)\n"
           "  --max-queue N       renders waiting for a worker; past that the answer is 503 (default 4 per worker)\n"
           "  --max-age SECONDS   how long caches may keep a tile (default 604800, a week)\n"
           "  --help              this text\n"
           "  --version           the version\n";
}

std::string DefaultCacheFolder()
{
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg == '/')
        return std::string(xdg) + "/quiltmap-tileserver";
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::string(home) + "/.cache/quiltmap-tileserver";
    return "/tmp/quiltmap-tileserver-" + std::to_string(getuid());
}

ServerOptionsResult ParseServerOptions(const std::vector<std::string>& arguments)
{
    ServerOptionsResult result;
    const auto fail = [&result](std::string text) {
        result.What = ServerOptionsResult::Action::Fail;
        result.Error = std::move(text);
        return result;
    };
    bool namedPhoto = false, namedTopo = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i], value;
        bool hasValue = false;
        if (const size_t equals = name.find('='); name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
            hasValue = true;
        }
        if (name == "--help" || name == "-h") {
            result.What = ServerOptionsResult::Action::Help;
            return result;
        }
        if (name == "--version") {
            result.What = ServerOptionsResult::Action::Version;
            return result;
        }
        if (name == "--offline" && !hasValue) {
            result.Options.Offline = true;
            continue;
        }
        if (name != "--listen" && name != "--photo" && name != "--topo" && name != "--cache" && name != "--workers" &&
            name != "--max-age" && name != "--max-queue")
            return fail("unknown argument \"" + name + "\"");
        if (!hasValue) {
            if (i + 1 >= arguments.size())
                return fail(name + " needs a value");
            value = arguments[++i];
        }
        if (name == "--listen" && !ReadListen(value, result.Options.Host, result.Options.Port))
            return fail("--listen needs HOST:PORT with a port from 1 to 65535, not \"" + value + "\"");
        if (name == "--workers" && !ReadNumber(value, 1, 256, result.Options.Workers))
            return fail("--workers needs a whole number from 1 to 256, not \"" + value + "\"");
        if (name == "--max-queue" && !ReadNumber(value, 1, 100000, result.Options.MaxQueue))
            return fail("--max-queue needs a whole number from 1 to 100000, not \"" + value + "\"");
        if (name == "--max-age" && !ReadNumber(value, 0, 365 * 24 * 3600, result.Options.MaxAge))
            return fail("--max-age needs a whole number of seconds from 0 to 31536000, not \"" + value + "\"");
        if (name == "--cache" && value.empty())
            return fail(name + " needs a value");
        if (name == "--photo" || name == "--topo") {
            std::vector<std::string>& chain = name == "--photo" ? result.Options.Photo : result.Options.Topo;
            if (!ReadChain(value, chain))
                return fail(name + " needs source names separated by commas, not \"" + value + "\"");
            (name == "--photo" ? namedPhoto : namedTopo) = true;
        }
        if (name == "--cache")
            result.Options.Cache = value;
    }
    // Offline, a chain not named is the embedded map alone (a named one is checked when opened).
    if (result.Options.Offline) {
        if (!namedPhoto)
            result.Options.Photo = {ServerOptions::kEmbedded};
        if (!namedTopo)
            result.Options.Topo = {ServerOptions::kEmbedded};
    }
    return result;
}
