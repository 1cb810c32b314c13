#include "TileAddress.h"

#include <array>
#include <charconv>

int64_t TileMetres(int scale)
{
    return int64_t(TileSidePixels) << (scale - 10);
}

TileExtent ExtentOf(const TileAddress& tile)
{
    const double m = double(TileMetres(tile.Scale));
    return {double(tile.X) * m, double(tile.Y) * m, double(tile.X + 1) * m, double(tile.Y + 1) * m};
}

std::string TileQuery(const TileAddress& tile)
{
    return "T=" + std::to_string(tile.Type) + "&S=" + std::to_string(tile.Scale) + "&X=" + std::to_string(tile.X) +
           "&Y=" + std::to_string(tile.Y) + "&Z=" + std::to_string(tile.Zone);
}

namespace {

struct Key {
    char Name;
    int64_t Low, High;  // inclusive; X and Y are checked against their tile size afterwards
};

// In the order of the address's fields.
enum KeyIndex { T, S, Z, X, Y };
constexpr std::array<Key, 5> kKeys{{{'T', 1, 2}, {'S', 10, 19}, {'Z', 1, 60}, {'X', 0, kMaxEasting},
                                    {'Y', 0, kMaxNorthing}}};

TileQueryResult Refuse(std::string text)
{
    TileQueryResult result;
    result.Error = std::move(text);
    return result;
}

// The value of one key's text, or the reason it is refused.
std::string ReadValue(size_t k, std::string_view text, int64_t& value)
{
    const std::string key(1, kKeys[k].Name);
    const auto [last, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    const bool digitsOnly =
        !text.empty() && text.size() <= 12 && text.find_first_not_of("0123456789") == std::string_view::npos;
    if (!digitsOnly || error != std::errc() || last != text.data() + text.size())
        return "Parameter " + key + " must be a whole decimal number, not \"" + std::string(text.substr(0, 40)) + "\".";
    if (value < kKeys[k].Low || value > kKeys[k].High)
        return "Parameter " + key + " is out of range (" + std::to_string(kKeys[k].Low) + " to " +
               std::to_string(kKeys[k].High) + ").";
    return {};
}

// The address of checked values, or the reason it lies beyond the zone.
TileQueryResult Assemble(const std::array<int64_t, kKeys.size()>& values)
{
    TileQueryResult result;
    result.Tile = {int(values[T]), int(values[S]), int(values[Z]), values[X], values[Y]};
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
        if (seen[k])
            return Refuse(std::string("Parameter ") + kKeys[k].Name + " is given more than once.");
        seen[k] = true;
        const std::string_view text = equals == std::string_view::npos ? std::string_view() : pair.substr(equals + 1);
        if (std::string error = ReadValue(k, text, values[k]); !error.empty())
            return Refuse(std::move(error));
    }
    // Reported in the order the query writes them.
    for (size_t k : {T, S, X, Y, Z}) {
        if (!seen[k])
            return Refuse(std::string("Parameter ") + kKeys[k].Name + " is missing.");
    }
    return Assemble(values);
}

TileFormat ServedFormat(int type)
{
    return type == 2 ? TileFormat::Gif : TileFormat::Jpeg;
}

TileFormat FormatOfBody(std::string_view body)
{
    return body.substr(0, 3) == "GIF" ? TileFormat::Gif : TileFormat::Jpeg;
}

std::string TileFileStem(const TileAddress& tile)
{
    return std::to_string(tile.Type) + "-" + std::to_string(tile.Scale) + "-" + std::to_string(tile.Zone) + "-" +
           std::to_string(tile.X) + "-" + std::to_string(tile.Y);
}

std::string TileFileName(const TileAddress& tile, TileFormat format)
{
    return TileFileStem(tile) + (format == TileFormat::Gif ? ".GIF" : ".JPG");
}

std::optional<TileFile> ParseTileFileName(std::string_view name)
{
    if (name.size() < 4)
        return std::nullopt;
    TileFile file;
    const std::string_view extension = name.substr(name.size() - 4);
    if (extension == ".GIF")
        file.Format = TileFormat::Gif;
    else if (extension != ".JPG")
        return std::nullopt;
    std::string_view rest = name.substr(0, name.size() - 4);
    std::array<int64_t, kKeys.size()> values{};
    for (size_t k = 0; k < kKeys.size(); ++k) {
        const size_t end = k + 1 < kKeys.size() ? rest.find('-') : rest.size();
        if (end == std::string_view::npos || !ReadValue(k, rest.substr(0, end), values[k]).empty())
            return std::nullopt;
        rest = rest.substr(std::min(end + 1, rest.size()));
    }
    const TileQueryResult checked = Assemble(values);
    if (!checked.Ok || TileFileName(checked.Tile, file.Format) != name)
        return std::nullopt;
    file.Tile = checked.Tile;
    return file;
}
