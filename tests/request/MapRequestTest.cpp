#include <limits>
#include <optional>

#include <QString>
#include <gtest/gtest.h>

#include "FakeMapForm.h"
#include "MapRequest.h"
#include "ScriptedPrompter.h"

namespace {

using Field = MapForm::Field;
using Kind = ScriptedPrompter::Kind;

QString ZoneQuestion(const char* degrees)
{
    return QStringLiteral("The map crosses the UTM zone boundary at %1 degrees West. This means that "
                          "parts of your map may be blank. Click 'Ok' to download the map. Click "
                          "'Cancel' to abandon downloading, so you can alter the map selection.")
        .arg(degrees);
}

ListChoices Lists(int16_t scale, int16_t width, int16_t height, int16_t type = 0, bool centre = true)
{
    ListChoices choices;
    choices.ScaleIndex = scale;
    choices.WidthIndex = width;
    choices.HeightIndex = height;
    choices.TypeIndex = type;
    choices.ReferenceIsCentre = centre;
    return choices;
}

TEST(SnapToGrid, MovesToTheNearestLineAndKeepsTheLowerOneAtHalfATile)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct { double metres; int32_t tileMetres, index; } cases[] = {
        {498000.0, 800, 622},    // exactly half a tile above 497600
        {4398800.0, 800, 5498},  // exactly half a tile above 4398400
        {499900.4, 200, 2500}, {499900.0, 200, 2499},
        {499999.6, 200, 2500},   // rounds to 500000 first; remainder -0.4
        {100.5, 200, 1},         // 100.5 rounds to the even 100, remainder over half
        {99.5, 200, 0}, {51200.0, 102400, 0}, {51200.1, 102400, 1},
        {-350.0, 200, -1},       // the quotient is truncated toward zero
        {1000.0, 0, 0}, {1000.0, -200, 0}, {nan, 200, 0},
        {1e300, 200, std::numeric_limits<int32_t>::max() / 200 + 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SnapToGrid(c.metres, c.tileMetres), c.index) << c.metres << " / " << c.tileMetres;
}

// The question names the western edge of the eastern zone.
TEST(ConfirmZoneCrossing, AsksOnlyAcrossABoundary)
{
    const struct { double a, b; const char* degrees; } cases[] = {
        {-105.5, -104.1, nullptr}, {-108.0, -102.0000001, nullptr}, {-180.0, -174.0000001, nullptr},
        {-108.2, -107.9, "108"}, {-108.0000001, -108.0, "108"}, {-0.5, 0.5, "0"},
    };
    for (const auto& c : cases) {
        ScriptedPrompter prompter;
        prompter.DefaultAnswer = false;
        EXPECT_EQ(ConfirmZoneCrossing(c.a, c.b, prompter), c.degrees == nullptr) << c.a;
        EXPECT_EQ(prompter.Texts(Kind::OkCancel),
                  c.degrees ? std::vector{ZoneQuestion(c.degrees)} : std::vector<QString>{}) << c.a;
    }
}

TEST(StartMapDownload, ListWithoutSelectionStartsNothing)
{
    for (const ListChoices& choices :
         {Lists(-1, 4, 4), Lists(10, 4, 4), Lists(0, -1, 4), Lists(0, 8, 4), Lists(0, 4, -1),
          Lists(0, 4, 8), Lists(0, 4, 4, -1), Lists(0, 4, 4, 2)}) {
        ScriptedPrompter prompter;
        MapRequest request;
        TileGrid grid;
        EXPECT_FALSE(StartMapDownload(choices, 40.0, -105.0, prompter, request, grid));
        EXPECT_TRUE(prompter.Log.empty());
    }
}

TEST(StartMapDownload, ResolutionWarningIsAskedAndNoStops)
{
    const QString doq = "The last time I checked, DOQ maps were only available with a resolution of "
                        "from 1 to 64 metres/pixel. Do you wish to continue?";
    const QString drg = "The last time I checked, DRG maps were only available with a resolution of "
                        "from 2 to 512 metres/pixel. Do you wish to continue?";
    const struct { int16_t type, scale; const QString* warning; } cases[] = {
        {0, 6, nullptr}, {0, 7, &doq}, {1, 0, &drg}, {1, 1, nullptr},
    };
    for (const auto& c : cases) {
        for (const bool answer : {true, false}) {
            ScriptedPrompter prompter;
            prompter.Answers = {answer};
            MapRequest request;
            TileGrid grid;
            const bool started = StartMapDownload(Lists(c.scale, 4, 4, c.type), 40.0, -105.0, prompter, request, grid);
            EXPECT_EQ(started, answer || !c.warning);
            EXPECT_EQ(prompter.Texts(Kind::YesNo), c.warning ? std::vector{*c.warning} : std::vector<QString>{});
        }
    }
}

// 40 N 105 W lies on the central meridian of zone 13: easting 500000 exactly, northing
// 4427757.22 m (meridian arc of WGS-84 to 40 degrees, 4429529.03 m, times 0.9996).
TEST(StartMapDownload, CentreOnTheCentralMeridianSnapsDownAtHalfATile)
{
    ScriptedPrompter prompter;
    MapRequest request;
    TileGrid grid;
    ASSERT_TRUE(StartMapDownload(Lists(2, 4, 2), 40.0, -105.0, prompter, request, grid));
    EXPECT_TRUE(prompter.Log.empty());
    EXPECT_EQ(grid.ScaleCode, 12);
    EXPECT_EQ(grid.FirstTileX, 622);   // 498000 is half a tile above 497600
    EXPECT_EQ(grid.FirstTileY, 5533);  // 4426557.2 -> 4426400
    EXPECT_EQ(grid.Zone, 13);
    EXPECT_EQ(grid.BottomLeft.Easting, 497600.0);
    EXPECT_EQ(grid.BottomLeft.Northing, 4426400.0);
    EXPECT_EQ(grid.TopRight.Easting, 501600.0);
    EXPECT_EQ(grid.TopRight.Northing, 4428800.0);
    EXPECT_EQ(grid.Row, 2);
    EXPECT_EQ(grid.Column, -1);
}

TEST(StartMapDownload, GridInvariantsHoldForRealPoints)
{
    const struct { double latitude, longitude; bool centre; int16_t scale, width, height; } cases[] = {
        {47.6061666666667, -122.351166666667, false, 5, 7, 7},
        {25.7617, -80.1918, false, 9, 2, 1},
        {0.0, -90.0, true, 4, 4, 4},  // the equator: the centre is clamped to northing 0
        {64.8378, -147.7164, true, 1, 5, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.latitude << " " << c.longitude);
        ScriptedPrompter prompter;
        MapRequest request;
        TileGrid grid;
        ASSERT_TRUE(StartMapDownload(Lists(c.scale, c.width, c.height, 1, c.centre), c.latitude,
                                     c.longitude, prompter, request, grid));
        const int32_t tile = 200 << c.scale;
        EXPECT_EQ(grid.TileMetres, tile);
        EXPECT_EQ(grid.BottomLeft.Easting, grid.FirstTileX * double(tile));
        EXPECT_EQ(grid.BottomLeft.Northing, grid.FirstTileY * double(tile));
        EXPECT_EQ(grid.TopRight.Easting - grid.BottomLeft.Easting, (c.width + 1) * tile);
        EXPECT_EQ(grid.TopRight.Northing - grid.BottomLeft.Northing, (c.height + 1) * tile);
        EXPECT_EQ(grid.TopRight.Zone, grid.Zone);
        EXPECT_GE(grid.FirstTileY, 0);
        EXPECT_EQ(grid.Row, c.height);
        // The point lies inside the map, give or take half a tile of snapping.
        const double slack = tile / 2 / 100000.0 + 1e-6;  // degrees; 1 degree > 100 km here
        if (!c.centre) {
            EXPECT_NEAR(grid.BottomLeft.Latitude, c.latitude, slack);
        }
        EXPECT_LE(grid.BottomLeft.Latitude, c.latitude + slack);
        EXPECT_GE(grid.TopRight.Latitude, c.latitude - slack);
        EXPECT_LT(grid.BottomLeft.Longitude, grid.TopRight.Longitude);
    }
}

// Bottom left at 108.05 W (zone 12); 8 tiles of 12800 m reach about 106.85 W (zone 13).
TEST(StartMapDownload, MapAcrossAZoneBoundaryIsAskedFor)
{
    for (const bool answer : {true, false}) {
        ScriptedPrompter prompter;
        prompter.Answers = {answer};
        MapRequest request;
        TileGrid grid;
        EXPECT_EQ(StartMapDownload(Lists(6, 7, 0, 0, false), 40.0, -108.05, prompter, request, grid), answer);
        EXPECT_EQ(prompter.Texts(Kind::OkCancel), std::vector{ZoneQuestion("108")});
        EXPECT_EQ(grid.TopRight.Zone, 12);  // computed in the reference point's zone
        EXPECT_GT(grid.TopRight.Longitude, -108.0);
    }
}

// The first failing field gets the focus; a point outside the UTM bands ends silently; a blank
// description offers a default built from the fields as written back; a typed one is trimmed.
TEST(PressDownload, FieldsThenDescriptionThenStart)
{
    const QString latitude = "I can't make that into a valid latitude.";
    const QString longitude = "I can't make that into a valid longitude.";
    const struct { const char *lat, *lon, *typed; bool centre; const QString* refusal;
                   const char* offered; bool answer; std::optional<Field> focused; const char* description; } cases[] = {
        {"91", "200", "Arctic", true, &latitude, nullptr, true, Field::Latitude, nullptr},
        {"", "105", "Arctic", true, &latitude, nullptr, true, Field::Latitude, nullptr},
        {"40", "  ", "Arctic", true, &longitude, nullptr, true, Field::Longitude, nullptr},
        {"85", "105", "Arctic", true, nullptr, nullptr, true, std::nullopt, nullptr},
        {"40", "105", "   ", true, nullptr, "40.00.00N/105.00.00 (centre)", false, Field::Description, nullptr},
        {"47.36.37", "122.21.07", "", false, nullptr, "47.36.37N/122.21.07 (corner)", true, std::nullopt,
         "47.36.37N/122.21.07 (corner)"},
        {"47.5", "75.5", "  Lake shore  ", true, nullptr, nullptr, true, std::nullopt, "Lake shore"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.lat << " " << c.lon << " " << c.typed);
        FakeMapForm form;
        form.Texts = {{Field::Latitude, c.lat}, {Field::Longitude, c.lon}, {Field::Description, c.typed}};
        form.Lists = Lists(2, 4, 2, 0, c.centre);
        ScriptedPrompter prompter;
        prompter.Answers = {c.answer};
        MapRequest request;
        TileGrid grid;
        EXPECT_EQ(PressDownload(form, prompter, request, grid), c.description != nullptr);
        EXPECT_EQ(prompter.Texts(Kind::Inform), c.refusal ? std::vector{*c.refusal} : std::vector<QString>{});
        EXPECT_EQ(prompter.Texts(Kind::YesNo),
                  c.offered ? std::vector{QStringLiteral("You have not input description. Do you wisth to "
                                                         "use a default description of '%1'?").arg(c.offered)}
                            : std::vector<QString>{});
        EXPECT_EQ(form.Focused, c.focused);
        EXPECT_EQ(form.Texts[Field::Description], c.description && c.offered ? c.offered : c.typed);
        if (c.description) {
            EXPECT_EQ(request.Description, c.description);
        }
        EXPECT_EQ(grid.Column, c.description ? -1 : TileGrid().Column);
    }
}

}  // namespace
