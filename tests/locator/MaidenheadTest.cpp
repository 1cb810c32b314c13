#include <cmath>

#include <QStringList>
#include <gtest/gtest.h>

#include "Maidenhead.h"
#include "MapRequest.h"

namespace {

// Degrees and minutes, signed as a whole: Dm(-124, 0) is 124 W.
double Dm(double degrees, double minutes)
{
    return degrees < 0 ? degrees - minutes / 60.0 : degrees + minutes / 60.0;
}

LocatorSquare Parsed(const char* text) { LocatorSquare s; EXPECT_TRUE(ParseLocator(text, s)) << text; return s; }

// Corners worked out by hand from the definition: fields 20 x 10 degrees from 180 W and 90 S,
// squares 2 x 1 degrees, subsquares 5 x 2.5 minutes, extended squares 0.5 x 0.25 minutes.
TEST(ParseLocator, SquaresHaveTheirCornersAndSizes)
{
    const struct { const char* text; const char* normal; double west, south, east, north; } cases[] = {
        {"cn87", "CN87", -124, 47, -122, 48}, {"CN87UO", "CN87uo", Dm(-122, 20), Dm(47, 35), Dm(-122, 15), Dm(47, 37.5)},
        {"FN31pr47", "FN31pr47", Dm(-72, 43), Dm(41, 44.25), Dm(-72, 42.5), Dm(41, 44.5)},
        {"AA00", "AA00", -180, -90, -178, -89}, {"RR99", "RR99", 178, 89, 180, 90},
        {"RR99xx", "RR99xx", Dm(179, 55), Dm(89, 57.5), 180, 90},
        {"AA00aa00", "AA00aa00", -180, -90, Dm(-179, 59.5), Dm(-89, 59.75)}, {" IJ90 ", "IJ90", -2, 0, 0, 1}};
    for (const auto& c : cases) {
        LocatorSquare square;
        ASSERT_TRUE(ParseLocator(QString::fromLatin1(c.text), square)) << c.text;
        EXPECT_EQ(square.Locator, QString::fromLatin1(c.normal));
        EXPECT_LT(std::max({std::abs(square.WestDegrees() - c.west), std::abs(square.SouthDegrees() - c.south),
                            std::abs(square.EastDegrees() - c.east), std::abs(square.NorthDegrees() - c.north)}), 1e-12)
            << c.text;
    }
}

// Malformed texts are refused. The fields hold north latitudes and west longitudes: the message
// says which side is wrong.
TEST(LocatorRefusal, MalformedOrOnTheWrongSideOfGreenwichOrTheEquator)
{
    for (const char* text : {"", "CN8", "CN87u", "CN87uo4", "CN87uo4x7", "SN87", "CS87", "CNA7", "CN87yo", "CN87uy",
                             "CN87uoA7", "CN 87", "1N87"}) {
        LocatorSquare square;
        EXPECT_FALSE(ParseLocator(QString::fromLatin1(text), square)) << text;
        EXPECT_TRUE(LocatorRefusal(text, square).contains("is not a grid locator")) << text;
    }
    const struct { const char* text; const char* where; } cases[] = {
        {"CN87uo", nullptr}, {"IJ90", nullptr}, {"AR09", nullptr},  // IJ90 touches Greenwich and the equator
        {"JJ00", "lies east of Greenwich."}, {"II99", "lies south of the equator."},
        {"JI00", "lies east of Greenwich and south of the equator."}};
    for (const auto& c : cases) {
        LocatorSquare square;
        const QString message = LocatorRefusal(QString::fromLatin1(c.text), square);
        EXPECT_TRUE(c.where ? message.contains(QString::fromLatin1(c.where)) : message.isEmpty())
            << c.text << ": " << message.toStdString();
    }
}

TEST(LocatorOf, NamesTheSquareHoldingThePoint)
{
    const struct { double latitude, longitude; int characters; const char* locator; } cases[] = {
        {47.6061, -122.3328, 6, "CN87uo"}, {Dm(47, 36.37), Dm(-122, 21.07), 6, "CN87to"},
        {Dm(47, 36.37), Dm(-122, 21.07), 4, "CN87"},
        {47, -124, 6, "CN87aa"},                 // the south-west corner belongs to the square
        {Dm(41, 44.25), Dm(-72, 43), 8, "FN31pr47"},
        {90, -180, 6, "AR09ax"},                 // the north edge of the world counts in the last square
        {0, 0, 6, "JJ00aa"}, {-90, 180, 4, "RA90"}};
    for (const auto& c : cases)
        EXPECT_EQ(LocatorOf(c.latitude, c.longitude, c.characters), c.locator) << c.latitude << " " << c.longitude;
    EXPECT_TRUE(LocatorOf(std::nan(""), 0).isEmpty());
}

TEST(PlaceLocator, WritesTheCentreOrTheSouthWestCornerInTheFieldsNormalForm)
{
    const struct { const char* text; bool centre; const char* latitude; const char* longitude; } cases[] = {
        {"CN87", true, "47.30.00", "123.00.00"}, {"CN87uo", false, "47.35.00", "122.20.00"},
        {"FN31pr47", true, "41.44.38", "072.42.75"},     // 41 44.375 rounds to the hundredth
        {"FN31pr47", false, "41.44.25", "072.43.00"},
        {"AR09", false, "89.00.00", "180.00.00"}, {"IJ90", true, "00.30.00", "001.00.00"}};
    for (const auto& c : cases) {
        const LocatorSquare square = Parsed(c.text);
        const LocatorPlacement p = PlaceLocator(square, false, ListChoices{.ReferenceIsCentre = c.centre});
        EXPECT_EQ(std::tuple(p.LatitudeText, p.LongitudeText, p.Fitted, p.Lists.ReferenceIsCentre),
                  std::tuple(c.latitude, c.longitude, false, c.centre)) << c.text;
    }
}

// Whether the map covers the square, checked along its edges at fine steps in the map's zone.
bool MapCovers(const TileGrid& grid, const LocatorSquare& square)
{
    constexpr int Steps = 200;
    const Mapstuff::ZoneProjector zone(22, grid.Zone);
    for (int i = 0; i <= Steps; ++i) {
        const double t = double(i) / Steps;
        const double east = square.EastDegrees();
        const double lon = square.WestDegrees() + (east - square.WestDegrees()) * t;
        const double lat = square.SouthDegrees() + (square.NorthDegrees() - square.SouthDegrees()) * t;
        for (const auto& [latitude, longitude] : {std::pair{square.SouthDegrees(), lon}, std::pair{square.NorthDegrees(), lon},
                                                  std::pair{lat, square.WestDegrees()}, std::pair{lat, east}}) {
            double easting = 0, northing = 0;
            zone.Forward(latitude, longitude, easting, northing);
            if (easting < grid.BottomLeft.Easting || easting > grid.TopRight.Easting
                || northing < grid.BottomLeft.Northing || northing > grid.TopRight.Northing)
                return false;
        }
    }
    return true;
}

TileGrid GridOf(const ListChoices& lists, const LocatorPlacement& placement)
{
    const auto read = [](const QString& text) {
        const QStringList parts = text.split(u'.');
        return parts[0].toDouble() + (parts[1].toDouble() + parts[2].toDouble() / 100) / 60;
    };
    MapRequest request;
    TileGrid grid;
    EXPECT_TRUE(BuildTileGrid(lists, read(placement.LatitudeText), -read(placement.LongitudeText), request, grid));
    return grid;
}

// The fitted map covers the square; no finer resolution and no fewer tiles at the chosen one do.
TEST(PlaceLocator, FitPicksTheFinestResolutionAndFewestTilesThatCover)
{
    for (const char* text : {"CN87", "EM12", "CN87uo", "FN31pr47", "DM79lr", "CN80"}) {
        const LocatorSquare square = Parsed(text);
        const LocatorPlacement placement = PlaceLocator(square, true, ListChoices{.TypeIndex = 1, .ReferenceIsCentre = false});
        const ListChoices& fit = placement.Lists;
        ASSERT_TRUE(placement.Fitted && placement.Message.isEmpty() && fit.ReferenceIsCentre && fit.TypeIndex == 1) << text;
        EXPECT_TRUE(MapCovers(GridOf(fit, placement), square)) << text;
        // A 2 x 1 degree square near 48 N is about 150 km wide: 1600 pixels at 64 m are 102 km, at 128 m 205 km.
        EXPECT_TRUE(text != std::string("CN87") || fit.ScaleIndex == 7) << fit.ScaleIndex;
        // One tile less either way, or the widest map one step finer, leaves part of it out.
        const ListChoices narrower{fit.ScaleIndex, int16_t(fit.WidthIndex - 1), fit.HeightIndex, 1, true},
            lower{fit.ScaleIndex, fit.WidthIndex, int16_t(fit.HeightIndex - 1), 1, true},
            finer{int16_t(fit.ScaleIndex - 1), 7, 7, 1, true};
        for (const ListChoices& other : {narrower, lower, finer})
            if (other.ScaleIndex >= 0 && other.WidthIndex >= 0 && other.HeightIndex >= 0) {
                EXPECT_FALSE(MapCovers(GridOf(other, placement), square)) << text << " " << other.ScaleIndex;
            }
    }
}

// Squares on a zone's west edge are fitted in their centre's zone, with a note; CN87 lies inside one.
// Where no choice covers, the choices stay but for the reference point, and it says so.
TEST(PlaceLocator, SquaresAtZoneEdgesAreFittedInTheirCentresZoneOrSaidNotToFit)
{
    const struct { const char* text; int zone; bool note; } cases[] = {
        {"DM04", 11, true}, {"DN00", 11, true}, {"GN00", 21, true}, {"DN00ax", 11, true}, {"CN87", 10, false}};
    for (const auto& c : cases) {
        const LocatorSquare square = Parsed(c.text);
        const LocatorPlacement placement = PlaceLocator(square, true, ListChoices());
        const TileGrid grid = GridOf(placement.Lists, placement);
        EXPECT_TRUE(placement.Fitted && grid.Zone == c.zone && MapCovers(grid, square)) << c.text;
        EXPECT_EQ(placement.Message.contains(QString("reaches the edge of UTM zone %1").arg(c.zone)), c.note) << c.text;
    }
    const LocatorSquare square = Parsed("AR09");   // beyond the grid's northern limit
    const LocatorPlacement placement = PlaceLocator(square, true, ListChoices{3, 4, 4, 0, false});
    EXPECT_FALSE(placement.Fitted);
    EXPECT_EQ(std::tuple(placement.LatitudeText, placement.Lists.ScaleIndex, placement.Lists.ReferenceIsCentre),
              std::tuple("89.30.00", 3, true));
    EXPECT_TRUE(placement.Message.contains(QStringLiteral("No map size and resolution covers the whole grid square AR09")));
}

}  // namespace
