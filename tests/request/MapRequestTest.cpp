#include <limits>
#include <optional>
#include <tuple>

#include <gtest/gtest.h>

#include "CoordinateEntry.h"
#include "FakeMapForm.h"
#include "MapRequest.h"
#include "TileAddress.h"
#include "ScriptedPrompter.h"

namespace {

using Field = MapForm::Field;
using Kind = ScriptedPrompter::Kind;
using Texts = std::vector<QString>;

QString ZoneQuestion(const char* degrees)
{
    return QStringLiteral("The map crosses the UTM zone boundary at %1 degrees West. This means that parts of your "
                          "map may be blank. Click 'Ok' to download the map. Click 'Cancel' to abandon downloading, "
                          "so you can alter the map selection.").arg(degrees);
}

bool Start(const ListChoices& lists, double latitude, double longitude, ScriptedPrompter& prompter, TileGrid& grid)
{
    MapRequest request;
    return StartMapDownload(lists, latitude, longitude, prompter, request, grid);
}

TEST(SnapToGrid, MovesToTheNearestLineAndKeepsTheLowerOneAtHalfATile)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct { double metres; int32_t tileMetres, index; } cases[] = {
        {498000.0, 800, 622}, {4398800.0, 800, 5498}, {499900.4, 200, 2500}, {499900.0, 200, 2499}, {99.5, 200, 0},
        {499999.6, 200, 2500}, {100.5, 200, 1},  // rounded first: remainders -0.4 and, from the even 100, over half
        {51200.0, 102400, 0}, {51200.1, 102400, 1}, {-350.0, 200, -1},  // the quotient is truncated toward zero
        {1000.0, 0, 0}, {1000.0, -200, 0}, {nan, 200, 0}, {1e300, 200, std::numeric_limits<int32_t>::max() / 200 + 1}};
    for (const auto& c : cases)
        EXPECT_EQ(SnapToGrid(c.metres, c.tileMetres), c.index) << c.metres << " / " << c.tileMetres;
}

// The question names the western edge of the eastern zone.
TEST(ConfirmZoneCrossing, AsksOnlyAcrossABoundary)
{
    const struct { double a, b; const char* degrees; } cases[] = {
        {-105.5, -104.1, nullptr}, {-108.0, -102.0000001, nullptr}, {-180.0, -174.0000001, nullptr},
        {-108.2, -107.9, "108"}, {-108.0000001, -108.0, "108"}, {-0.5, 0.5, "0"}};
    for (const auto& c : cases) {
        ScriptedPrompter prompter;
        prompter.DefaultAnswer = false;
        EXPECT_EQ(ConfirmZoneCrossing(c.a, c.b, prompter), c.degrees == nullptr) << c.a;
        EXPECT_EQ(prompter.Texts(Kind::OkCancel), c.degrees ? Texts{ZoneQuestion(c.degrees)} : Texts{}) << c.a;
    }
}

// A list without a selection starts nothing and asks nothing. A resolution the type is not made
// at, or a map across a zone boundary, is asked about, and "no" stops: bottom left at 108.05 W
// (zone 12), 8 tiles of 12800 m reach about 106.85 W (zone 13).
TEST(StartMapDownload, ListsWithoutSelectionStartNothingAndDoubtfulMapsAreAskedFor)
{
    const ListChoices outOfRange[] = {{-1, 4, 4, 0, true}, {10, 4, 4, 0, true}, {0, -1, 4, 0, true}, {0, 8, 4, 0, true},
                                      {0, 4, -1, 0, true}, {0, 4, 8, 0, true}, {0, 4, 4, -1, true}, {0, 4, 4, 2, true}};
    ScriptedPrompter silent;
    TileGrid grid;
    for (const ListChoices& lists : outOfRange) EXPECT_FALSE(Start(lists, 40.0, -105.0, silent, grid));
    EXPECT_TRUE(silent.Log.empty());

    const QString warning = "The last time I checked, %1 maps were only available with a resolution of from %2 "
                            "metres/pixel. Do you wish to continue?";
    const struct { ListChoices lists; double longitude; Kind kind; QString asked; } cases[] = {
        {{6, 4, 4, 0, true}, -105.0, Kind::YesNo, ""}, {{7, 4, 4, 0, true}, -105.0, Kind::YesNo, warning.arg("DOQ", "1 to 64")},
        {{0, 4, 4, 1, true}, -105.0, Kind::YesNo, warning.arg("DRG", "2 to 512")}, {{1, 4, 4, 1, true}, -105.0, Kind::YesNo, ""},
        {{6, 7, 0, 0, false}, -108.05, Kind::OkCancel, ZoneQuestion("108")}};
    for (const auto& c : cases) {
        ScriptedPrompter prompter;
        prompter.Answers = {false, true};
        EXPECT_EQ(Start(c.lists, 40.0, c.longitude, prompter, grid), c.asked.isEmpty());
        EXPECT_TRUE(Start(c.lists, 40.0, c.longitude, prompter, grid));
        EXPECT_EQ(prompter.Texts(c.kind), c.asked.isEmpty() ? Texts{} : Texts(2, c.asked));
        EXPECT_EQ(prompter.Log.size(), c.asked.isEmpty() ? 0u : 2u);
    }
    EXPECT_NEAR(grid.BottomLeft.Longitude, -108.05, 0.08);  // the corner, give or take half a tile
    EXPECT_EQ(grid.TopRight.Zone, 12);                        // computed in the reference point's zone
    EXPECT_GT(grid.TopRight.Longitude, -108.0);
}

// 40 N 105 W lies on the central meridian of zone 13: easting 500000 exactly, northing
// 4427757.22 m (meridian arc of WGS-84 to 40 degrees, 4429529.03 m, times 0.9996).
TEST(StartMapDownload, CentreOnTheCentralMeridianSnapsDownAtHalfATile)
{
    ScriptedPrompter prompter;
    TileGrid grid;
    ASSERT_TRUE(Start({2, 4, 2, 0, true}, 40.0, -105.0, prompter, grid));
    EXPECT_TRUE(prompter.Log.empty());
    // 498000 is half a tile above 497600; 4426557.2 snaps to 4426400.
    EXPECT_EQ(std::tie(grid.ScaleCode, grid.TileMetres, grid.FirstTileX, grid.FirstTileY, grid.Zone, grid.Row, grid.Column),
              std::make_tuple(int16_t(12), 800, 622, 5533, int16_t(13), int16_t(2), int16_t(-1)));
    EXPECT_EQ(std::tie(grid.BottomLeft.Easting, grid.BottomLeft.Northing, grid.TopRight.Easting, grid.TopRight.Northing),
              std::make_tuple(497600.0, 4426400.0, 501600.0, 4428800.0));
}

// The first failing field gets the focus; a point outside the UTM bands ends silently; a blank
// description offers a default built from the fields as written back; a typed one is trimmed.
TEST(PressDownload, FieldsThenDescriptionThenStart)
{
    const QString offer = "You have not input description. Do you wisth to use a default description of '%1'?";
    const struct { const char *lat, *lon, *typed; bool centre; QString refusal; const char* offered; bool answer;
                   std::optional<Field> focused; const char* description; } cases[] = {
        {"91", "200", "Arctic", true, CoordinateRefusal(false), nullptr, true, Field::Latitude, nullptr},
        {"", "105", "Arctic", true, CoordinateRefusal(false), nullptr, true, Field::Latitude, nullptr},
        {"40", "  ", "Arctic", true, CoordinateRefusal(true), nullptr, true, Field::Longitude, nullptr},
        {"85", "105", "Arctic", true, "", nullptr, true, std::nullopt, nullptr},
        {"40", "105", "   ", true, "", "40.00.00N/105.00.00 (centre)", false, Field::Description, nullptr},
        {"47.36.37", "122.21.07", "", false, "", "47.36.37N/122.21.07 (corner)", true, std::nullopt,
         "47.36.37N/122.21.07 (corner)"},
        {"47.5", "75.5", "  Lake shore  ", true, "", nullptr, true, std::nullopt, "Lake shore"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.lat << " " << c.lon << " " << c.typed);
        FakeMapForm form;
        form.Texts = {{Field::Latitude, c.lat}, {Field::Longitude, c.lon}, {Field::Description, c.typed}};
        form.Lists = {2, 4, 2, 0, c.centre};
        ScriptedPrompter prompter;
        prompter.Answers = {c.answer};
        MapRequest request;
        TileGrid grid;
        EXPECT_EQ(PressDownload(form, prompter, request, grid), c.description != nullptr);
        EXPECT_EQ(prompter.Texts(Kind::Inform), c.refusal.isEmpty() ? Texts{} : Texts{c.refusal});
        EXPECT_EQ(prompter.Texts(Kind::YesNo), c.offered ? Texts{offer.arg(c.offered)} : Texts{});
        EXPECT_EQ(form.Focused, c.focused);
        EXPECT_EQ(form.Texts[Field::Description], c.description && c.offered ? c.offered : c.typed);
        if (c.description) { EXPECT_EQ(request.Description, c.description); }
        EXPECT_EQ(grid.Column, c.description ? -1 : TileGrid().Column);
    }
}

}  // namespace

// Maps at the far corners of what the grid makes (a zone's east edge at 47 N, at the equator and
// at 84 N, 512 m a pixel, 8 x 8 tiles): the tile service takes every tile they ask for.
TEST(BuildTileGrid, EveryTileOfTheWidestMapsIsWithinTheServiceRange)
{
    for (const auto& [latitude, longitude, centre] : {std::tuple{47.0, -(120 + 10 / 60.0), true},
             std::tuple{0.0, -117.0001, false}, std::tuple{84.0, -117.0001, false}, std::tuple{84.0, -122.9999, true}}) {
        MapRequest request;
        TileGrid grid;
        ASSERT_TRUE(BuildTileGrid(ListChoices{9, 7, 7, 1, centre}, latitude, longitude, request, grid)) << latitude;
        for (int tile = 0; tile < 64; ++tile)
            EXPECT_EQ(ParseTileQuery(TileQuery({2, grid.ScaleCode, grid.Zone, grid.FirstTileX + tile % 8,
                                                grid.FirstTileY + tile / 8})).Error, "") << latitude << " " << tile;
    }
}
