#include "Maidenhead.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "CoordinateEntry.h"
#include "MapRequest.h"

namespace {

// Sizes of the four levels in thousandths of a minute: longitude, latitude.
constexpr int64_t FieldWidth = 20 * 60000, FieldHeight = 10 * 60000;
constexpr int64_t SquareWidth = 2 * 60000, SquareHeight = 1 * 60000;
constexpr int64_t SubsquareWidth = 5000, SubsquareHeight = 2500;
constexpr int64_t ExtendedWidth = 500, ExtendedHeight = 250;

struct Level {
    char16_t First;      // 'A' or '0'
    int Count;           // 18, 10, 24, 10
    int64_t Width;
    int64_t Height;
    bool Lower;          // written in lower case (subsquares)
};

constexpr Level Levels[4] = {
    {u'A', 18, FieldWidth, FieldHeight, false},
    {u'0', 10, SquareWidth, SquareHeight, false},
    {u'A', 24, SubsquareWidth, SubsquareHeight, true},
    {u'0', 10, ExtendedWidth, ExtendedHeight, false},
};

// Index of c within a level, or -1.
int IndexIn(const Level& level, QChar c)
{
    const int index = int(c.toUpper().unicode()) - int(level.First);
    return index >= 0 && index < level.Count ? index : -1;
}

QChar CharacterOf(const Level& level, int index)
{
    const QChar c(char16_t(level.First + index));
    return level.Lower ? c.toLower() : c;
}

// A field text in normal form from hundredths of a minute (not negative).
QString FieldText(int64_t hundredths, bool isLongitude)
{
    const int64_t degrees = hundredths / 6000;
    const int64_t minutes = hundredths % 6000 / 100;
    return QString::asprintf(isLongitude ? "%03lld.%02lld.%02lld" : "%02lld.%02lld.%02lld",
                             static_cast<long long>(degrees), static_cast<long long>(minutes),
                             static_cast<long long>(hundredths % 100));
}

// Thousandths to hundredths of a minute, halves away from zero.
int64_t ToHundredths(int64_t thousandths)
{
    return (thousandths + 5) / 10;
}

// Points along the square's edges, in degrees, with the central meridian of its zone where an
// edge crosses it: a parallel's extremes in the grid lie at the corners or there.
std::vector<std::pair<double, double>> EdgePoints(const LocatorSquare& square, double centralMeridian)
{
    constexpr int Steps = 16;
    const double west = square.WestDegrees();
    const double east = square.EastDegrees();
    const double south = square.SouthDegrees();
    const double north = square.NorthDegrees();
    std::vector<std::pair<double, double>> points;   // latitude, longitude
    for (int i = 0; i <= Steps; ++i) {
        const double longitude = west + (east - west) * i / Steps;
        const double latitude = south + (north - south) * i / Steps;
        points.emplace_back(south, longitude);
        points.emplace_back(north, longitude);
        points.emplace_back(latitude, west);
        points.emplace_back(latitude, east);
    }
    if (centralMeridian > west && centralMeridian < east) {
        points.emplace_back(south, centralMeridian);
        points.emplace_back(north, centralMeridian);
    }
    return points;
}

// Every edge point inside the map, each converted into the map's own zone: UTM is defined past a
// zone's edge, so a square that crosses one is covered from its centre's zone.
bool Covers(const TileGrid& grid, const LocatorSquare& square)
{
    const Mapstuff::ZoneProjector projector(grid.BottomLeft.EllipsoidIndex, grid.Zone);
    if (!projector.Valid())
        return false;
    for (const auto& [latitude, longitude] : EdgePoints(square, grid.BottomLeft.CentralMeridian)) {
        double easting = 0;
        double northing = 0;
        projector.Forward(latitude, longitude, easting, northing);
        if (!(easting >= grid.BottomLeft.Easting && easting <= grid.TopRight.Easting
              && northing >= grid.BottomLeft.Northing && northing <= grid.TopRight.Northing))
            return false;
    }
    return true;
}

// The UTM zone of a point in degrees, 0 when it has none.
int16_t ZoneOf(double latitude, double longitude)
{
    Mapstuff::ZoneInfo zone;
    zone.Latitude = latitude;
    zone.Longitude = longitude;
    return Mapstuff::GetZoneAndBand(zone) == Mapstuff::UtmOk ? zone.Zone : int16_t(0);
}

}  // namespace

bool ParseLocator(const QString& text, LocatorSquare& square)
{
    const QString locator = text.trimmed();
    if (locator.size() != 4 && locator.size() != 6 && locator.size() != 8)
        return false;
    LocatorSquare result;
    for (int level = 0; level * 2 < locator.size(); ++level) {
        const int x = IndexIn(Levels[level], locator[level * 2]);
        const int y = IndexIn(Levels[level], locator[level * 2 + 1]);
        if (x < 0 || y < 0)
            return false;
        result.West += x * Levels[level].Width;
        result.South += y * Levels[level].Height;
        result.Width = Levels[level].Width;
        result.Height = Levels[level].Height;
        result.Locator += CharacterOf(Levels[level], x);
        result.Locator += CharacterOf(Levels[level], y);
    }
    result.West -= 180 * 60000;
    result.South -= 90 * 60000;
    square = result;
    return true;
}

QString LocatorRefusal(const QString& text, LocatorSquare& square)
{
    if (!ParseLocator(text, square))
        return QStringLiteral("'%1' is not a grid locator. A locator has 4, 6 or 8 characters: "
                              "two letters A to R, two digits, then two letters A to X and two "
                              "digits, for example CN87, CN87uo or FN31pr47.")
            .arg(text.trimmed());
    const bool east = square.West >= 0;
    const bool south = square.South < 0;
    if (!east && !south)
        return QString();
    const QString where = east && south ? QStringLiteral("east of Greenwich and south of the equator")
                          : east        ? QStringLiteral("east of Greenwich")
                                        : QStringLiteral("south of the equator");
    return QStringLiteral("The grid square %1 lies %2. The latitude and longitude fields hold "
                          "north latitudes and west longitudes only.")
        .arg(square.Locator, where);
}

QString LocatorOf(double latitude, double longitude, int characters)
{
    if (!std::isfinite(latitude) || !std::isfinite(longitude))
        return QString();
    // Hundredths of a minute: the fields' own unit, so a typed point never falls on the wrong
    // side of an edge by rounding.
    int64_t x = std::llround((longitude + 180.0) * 6000.0);
    int64_t y = std::llround((latitude + 90.0) * 6000.0);
    x = std::clamp<int64_t>(x, 0, 360 * 6000 - 1) * 10;
    y = std::clamp<int64_t>(y, 0, 180 * 6000 - 1) * 10;
    QString locator;
    for (int level = 0; level * 2 < std::clamp(characters, 2, 8); ++level) {
        locator += CharacterOf(Levels[level], int(x / Levels[level].Width));
        locator += CharacterOf(Levels[level], int(y / Levels[level].Height));
        x %= Levels[level].Width;
        y %= Levels[level].Height;
    }
    return locator;
}

bool FitMapToSquare(const LocatorSquare& square, double latitude, double longitude,
                    ListChoices& choices, bool keepScale, bool keepTiles)
{
    ListChoices candidate = choices;
    const int fixedTiles = (choices.WidthIndex + 1) * (choices.HeightIndex + 1);
    for (int16_t scale = 0; scale <= 9; ++scale) {
        if (keepScale && scale != choices.ScaleIndex)
            continue;
        candidate.ScaleIndex = scale;
        // Fewest tiles first; of equal counts the narrower map.
        for (int count = 1; count <= 64; ++count) {
            if (keepTiles && count != fixedTiles)
                continue;
            for (int wide = 1; wide <= 8; ++wide) {
                if (count % wide != 0 || count / wide > 8)
                    continue;
                if (keepTiles && (wide != choices.WidthIndex + 1 || count / wide != choices.HeightIndex + 1))
                    continue;
                candidate.WidthIndex = int16_t(wide - 1);
                candidate.HeightIndex = int16_t(count / wide - 1);
                MapRequest request;
                TileGrid grid;
                if (BuildTileGrid(candidate, latitude, longitude, request, grid) && Covers(grid, square)) {
                    choices = candidate;
                    return true;
                }
            }
        }
    }
    return false;
}

QString ZoneEdgeNote(const LocatorSquare& square)
{
    // The corners as the conversion itself places them: a west edge on a zone edge counts, an
    // east edge there is the next zone's and does not.
    constexpr double Hair = 1e-9;
    const int16_t zone = ZoneOf((square.SouthDegrees() + square.NorthDegrees()) / 2,
                                (square.WestDegrees() + square.EastDegrees()) / 2);
    for (const double latitude : {square.SouthDegrees(), square.NorthDegrees()})
        for (const double longitude : {square.WestDegrees(), square.EastDegrees() - Hair})
            if (ZoneOf(latitude, longitude) != zone)
                return QStringLiteral("The grid square %1 reaches the edge of UTM zone %2. The map is made in "
                                      "zone %2, the zone of the square's centre, and covers the whole square.")
                    .arg(square.Locator).arg(zone);
    return QString();
}

LocatorPlacement PlaceLocator(const LocatorSquare& square, bool fit, const ListChoices& current)
{
    LocatorPlacement placement;
    placement.Lists = current;
    if (fit)
        placement.Lists.ReferenceIsCentre = true;
    const bool centre = placement.Lists.ReferenceIsCentre;
    const int64_t east = square.West + (centre ? square.Width / 2 : 0);
    const int64_t north = square.South + (centre ? square.Height / 2 : 0);
    placement.LatitudeText = FieldText(ToHundredths(north), false);
    placement.LongitudeText = FieldText(ToHundredths(-east), true);
    if (!fit)
        return placement;

    // Fitted around the point exactly as the fields will give it to the download.
    const CoordinateCheck latitude = CheckCoordinateText(placement.LatitudeText, false);
    const CoordinateCheck longitude = CheckCoordinateText(placement.LongitudeText, true);
    placement.Fitted = latitude.Valid && longitude.Valid
                       && FitMapToSquare(square, latitude.Value, longitude.Value, placement.Lists);
    if (!placement.Fitted) {
        placement.Lists = current;
        placement.Lists.ReferenceIsCentre = true;
        placement.Message = QStringLiteral("No map size and resolution covers the whole grid square "
                                           "%1. Its centre has been set; choose the map's size and "
                                           "resolution yourself.")
                                .arg(square.Locator);
    } else {
        placement.Message = ZoneEdgeNote(square);
    }
    return placement;
}
