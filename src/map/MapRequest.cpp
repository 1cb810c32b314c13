#include "MapRequest.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "CoordinateEntry.h"
#include "Rounding.h"

namespace {

constexpr int16_t Wgs84 = 22;      // row of the ellipsoid catalogue

// UTM zone index 0..59 of a longitude in degrees (east positive) in [-180, 180).
int32_t ZoneIndex(double longitude)
{
    const double shifted = std::floor(longitude + 180.0);
    // Outside any zone the value only names a boundary; keep the conversion defined.
    const double bounded = std::isnan(shifted) ? 0.0 : std::clamp(shifted, -1.0e6, 1.0e6);
    return static_cast<int32_t>(bounded) / 6;
}

}  // namespace

QString DefaultDescription(const QString& latText, const QString& longText, bool referenceIsCentre)
{
    return latText.trimmed() + QStringLiteral("N/") + longText.trimmed() + QStringLiteral(" (")
           + (referenceIsCentre ? QStringLiteral("centre") : QStringLiteral("corner"))
           + QStringLiteral(")");
}

double MaxValue(double a, double b)
{
    return a > b ? a : b;
}

QString ResolutionWarning(int16_t imageType, int16_t metresPerPixel)
{
    if (imageType == 1 && metresPerPixel > 64)
        return QStringLiteral("The last time I checked, DOQ maps were only available with a "
                              "resolution of from 1 to 64 metres/pixel.");
    if (imageType == 2 && metresPerPixel < 2)
        return QStringLiteral("The last time I checked, DRG maps were only available with a "
                              "resolution of from 2 to 512 metres/pixel.");
    return QString();
}

int32_t SnapToGrid(double metres, int32_t tileMetres)
{
    if (tileMetres <= 0 || std::isnan(metres))
        return 0;
    // UTM distances are far inside 32 bits; anything else is held at the edge.
    constexpr double Lowest = std::numeric_limits<int32_t>::min();
    constexpr double Highest = std::numeric_limits<int32_t>::max();
    const double wholeMetres = std::clamp(RoundHalfEven(metres), Lowest, Highest);
    int32_t q = static_cast<int32_t>(wholeMetres) / tileMetres;
    const double r = metres - static_cast<double>(q) * tileMetres;
    // Exactly half a tile keeps the lower line.
    if (r > tileMetres / 2.0)
        ++q;
    return q;
}

QString ZoneCrossingWarning(double a, double b)
{
    const int32_t indexB = ZoneIndex(b);
    if (ZoneIndex(a) == indexB)
        return QString();
    return QStringLiteral("The map crosses the UTM zone boundary at ") + QString::number(180 - 6 * indexB)
           + QStringLiteral(" degrees West. This means that parts of your map may be blank.");
}

bool ConfirmZoneCrossing(double a, double b, Prompter& prompter)
{
    const QString warning = ZoneCrossingWarning(a, b);
    if (warning.isEmpty())
        return true;
    return prompter.AskOkCancel(
        warning + QStringLiteral(" Click 'Ok' to download the map. Click 'Cancel' to abandon "
                                 "downloading, so you can alter the map selection."));
}

namespace {

// The request's numbers from the lists: tile counts, resolution, tile side, image type.
void FillRequestAndScale(const ListChoices& choices, double latitude, double longitude,
                         MapRequest& request, TileGrid& grid)
{
    request.Latitude = latitude;
    request.Longitude = longitude;
    request.ReferenceIsCentre = choices.ReferenceIsCentre;
    request.TilesWide = static_cast<int16_t>(choices.WidthIndex + 1);
    request.TilesHigh = static_cast<int16_t>(choices.HeightIndex + 1);
    request.ResolutionIndex = choices.ScaleIndex;
    grid.MetresPerPixel = static_cast<int16_t>(RoundHalfEven(std::pow(2.0, request.ResolutionIndex)));
    grid.ScaleCode = static_cast<int16_t>(request.ResolutionIndex + 10);
    grid.TileMetres = int32_t(TileMetres(grid.ScaleCode));
    grid.WidthMetres = request.TilesWide * grid.TileMetres;
    grid.HeightMetres = request.TilesHigh * grid.TileMetres;
    request.ImageType = static_cast<int16_t>(choices.TypeIndex + 1);
}

bool ChoicesInRange(const ListChoices& choices)
{
    // A list without a selection (or out of its range) would give a zero tile or overflow.
    return choices.ScaleIndex >= 0 && choices.ScaleIndex <= 9 && choices.WidthIndex >= 0
           && choices.WidthIndex <= 7 && choices.HeightIndex >= 0 && choices.HeightIndex <= 7
           && choices.TypeIndex >= 0 && choices.TypeIndex <= 1;
}

// The point to UTM, the corner snapped to the grid and both corners back to degrees.
bool PlaceCorners(const MapRequest& request, TileGrid& grid)
{
    Mapstuff::UtmPoint& corner = grid.BottomLeft;
    corner = Mapstuff::UtmPoint();
    corner.Latitude = request.Latitude;
    corner.Longitude = request.Longitude;
    corner.EllipsoidIndex = Wgs84;
    if (Mapstuff::LatLongToUtm(corner) != Mapstuff::UtmOk)
        return false;

    if (request.ReferenceIsCentre) {
        corner.Easting = MaxValue(corner.Easting - grid.WidthMetres / 2.0, 0);
        corner.Northing = MaxValue(corner.Northing - grid.HeightMetres / 2.0, 0);
    }
    grid.FirstTileX = SnapToGrid(corner.Easting, grid.TileMetres);
    grid.FirstTileY = SnapToGrid(corner.Northing, grid.TileMetres);

    corner.Easting = static_cast<double>(grid.FirstTileX) * grid.TileMetres;
    corner.Northing = static_cast<double>(grid.FirstTileY) * grid.TileMetres;
    if (Mapstuff::UtmToLatLong(corner) != Mapstuff::UtmOk)
        return false;
    grid.Zone = corner.Zone;

    grid.TopRight = corner;
    grid.TopRight.Easting += grid.WidthMetres;
    grid.TopRight.Northing += grid.HeightMetres;
    if (Mapstuff::UtmToLatLong(grid.TopRight) != Mapstuff::UtmOk)
        return false;

    // The first tile fetched is the top left one.
    grid.Row = static_cast<int16_t>(request.TilesHigh - 1);
    grid.Column = -1;
    return true;
}

}  // namespace

TileAddress GridTile(const MapRequest& request, const TileGrid& grid, int column, int row)
{
    return {request.ImageType, grid.ScaleCode, grid.Zone, int64_t(grid.FirstTileX) + column,
            int64_t(grid.FirstTileY) + row};
}

std::vector<TileAddress> GridTiles(const MapRequest& request, const TileGrid& grid)
{
    std::vector<TileAddress> tiles;
    for (int row = request.TilesHigh - 1; row >= 0; --row)
        for (int column = 0; column < request.TilesWide; ++column)
            tiles.push_back(GridTile(request, grid, column, row));
    return tiles;
}

bool BuildTileGrid(const ListChoices& choices, double latitude, double longitude,
                   MapRequest& request, TileGrid& grid)
{
    if (!ChoicesInRange(choices))
        return false;
    FillRequestAndScale(choices, latitude, longitude, request, grid);
    return PlaceCorners(request, grid);
}

bool StartMapDownload(const ListChoices& choices, double latitude, double longitude,
                      Prompter& prompter, MapRequest& request, TileGrid& grid)
{
    if (!ChoicesInRange(choices))
        return false;
    FillRequestAndScale(choices, latitude, longitude, request, grid);

    const QString warning = ResolutionWarning(request.ImageType, grid.MetresPerPixel);
    if (!warning.isEmpty() && !prompter.AskYesNo(warning + QStringLiteral(" Do you wish to continue?")))
        return false;

    return PlaceCorners(request, grid)
           && ConfirmZoneCrossing(grid.BottomLeft.Longitude, grid.TopRight.Longitude, prompter);
}

bool PressDownload(MapForm& form, Prompter& prompter, MapRequest& request, TileGrid& grid)
{
    double latitude = 0;
    double longitude = 0;
    if (!ParseCoordinate(form, prompter, MapForm::Field::Latitude, false, false, latitude))
        return false;
    if (!ParseCoordinate(form, prompter, MapForm::Field::Longitude, true, false, longitude))
        return false;

    const ListChoices choices = form.Choices();
    request.Description = form.FieldText(MapForm::Field::Description).trimmed();
    if (request.Description.isEmpty()) {
        const QString description =
            DefaultDescription(form.FieldText(MapForm::Field::Latitude),
                               form.FieldText(MapForm::Field::Longitude), choices.ReferenceIsCentre);
        if (!prompter.AskYesNo(QStringLiteral("You have not input description. Do you wisth to use a "
                                              "default description of '")
                               + description + QStringLiteral("'?"))) {
            form.FocusField(MapForm::Field::Description);
            return false;
        }
        form.SetFieldText(MapForm::Field::Description, description);
        request.Description = description;
    }
    return StartMapDownload(choices, latitude, longitude, prompter, request, grid);
}
