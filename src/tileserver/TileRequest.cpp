#include "TileRequest.h"

#include <array>
#include <charconv>

int64_t TileMetres(int scale)
{
    return int64_t(200) << (scale - 10);
}

TileExtent ExtentOf(const TileRequest& tile)
{
    const double m = double(TileMetres(tile.Scale));
    return {double(tile.X) * m, double(tile.Y) * m, double(tile.X + 1) * m, double(tile.Y + 1) * m};
}

namespace {

struct Key {
    char Name;
    int64_t Low, High;  // inclusive; X and Y are checked against their tile size afterwards
};

constexpr std::array<Key, 5> kKeys{{{'T', 1, 2}, {'S', 10, 19}, {'X', 0, kMaxEasting}, {'Y', 0, kMaxNorthing},
                                    {'Z', 1, 60}}};

TileQueryResult Refuse(std::string text)
{
    TileQueryResult result;
    result.Error = std::move(text);
    return result;
}

}  // namespace

TileQueryResult ParseTileQuery(std::string_view query)
{
    std::array<int64_t, kKeys.size()> values{};
    std::array<bool, kKeys.size()> seen{};
    while (!query.empty()) {
        const size_t end = query.find('&');
        const std::string_view pair = query.substr(0, end);
        query = end == std::string_view::npos ? std::string_view() : query.substr(end + 1);
        const size_t equals = pair.find('=');
        const std::string_view name = pair.substr(0, equals);
        size_t k = 0;
        while (k < kKeys.size() && !(name.size() == 1 && name[0] == kKeys[k].Name))
            ++k;
        if (k == kKeys.size())
            continue;
        const std::string key(1, kKeys[k].Name);
        if (seen[k])
            return Refuse("Parameter " + key + " is given more than once.");
        seen[k] = true;
        const std::string_view text = equals == std::string_view::npos ? std::string_view() : pair.substr(equals + 1);
        int64_t value = 0;
        const auto [last, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        const bool digitsOnly = !text.empty() && text.size() <= 12 && text.find_first_not_of("0123456789") == std::string_view::npos;
        if (!digitsOnly || error != std::errc() || last != text.data() + text.size())
            return Refuse("Parameter " + key + " must be a whole decimal number, not \"" + std::string(text.substr(0, 40)) + "\".");
        if (value < kKeys[k].Low || value > kKeys[k].High)
            return Refuse("Parameter " + key + " is out of range (" + std::to_string(kKeys[k].Low) + " to " +
                          std::to_string(kKeys[k].High) + ").");
        values[k] = value;
    }
    for (size_t k = 0; k < kKeys.size(); ++k) {
        if (!seen[k])
            return Refuse(std::string("Parameter ") + kKeys[k].Name + " is missing.");
    }
    TileQueryResult result;
    result.Tile = {int(values[0]), int(values[1]), int(values[4]), values[2], values[3]};
    const int64_t m = TileMetres(result.Tile.Scale);
    if (result.Tile.X * m >= kMaxEasting)
        return Refuse("Tile X=" + std::to_string(result.Tile.X) + " lies beyond the zone at this scale (easting " +
                      std::to_string(result.Tile.X * m) + " m).");
    if (result.Tile.Y * m >= kMaxNorthing)
        return Refuse("Tile Y=" + std::to_string(result.Tile.Y) + " lies beyond the zone at this scale (northing " +
                      std::to_string(result.Tile.Y * m) + " m).");
    result.Ok = true;
    return result;
}

std::string TileFileName(const TileRequest& tile)
{
    return std::to_string(tile.Type) + "-" + std::to_string(tile.Scale) + "-" + std::to_string(tile.Zone) + "-" +
           std::to_string(tile.X) + "-" + std::to_string(tile.Y) + (tile.Type == 2 ? ".GIF" : ".JPG");
}
