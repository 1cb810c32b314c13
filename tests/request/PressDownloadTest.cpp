#include <QString>
#include <gtest/gtest.h>

#include "FakeMapForm.h"
#include "MapRequest.h"
#include "ScriptedPrompter.h"

namespace {

using Field = MapForm::Field;
using Kind = ScriptedPrompter::Kind;

FakeMapForm FormWith(const char* latitude, const char* longitude, const char* description)
{
    FakeMapForm form;
    form.Texts[Field::Latitude] = QString::fromUtf8(latitude);
    form.Texts[Field::Longitude] = QString::fromUtf8(longitude);
    form.Texts[Field::Description] = QString::fromUtf8(description);
    form.Lists.ScaleIndex = 2;   // 4 m per pixel, DOQ
    form.Lists.WidthIndex = 4;
    form.Lists.HeightIndex = 2;
    return form;
}

TEST(PressDownload, FirstFailingFieldGetsTheFocusAndNothingStarts)
{
    struct Case {
        const char* latitude;
        const char* longitude;
        Field focused;
        const char* message;
    };
    const Case cases[] = {
        {"91", "200", Field::Latitude, "I can't make that into a valid latitude."},
        {"", "105", Field::Latitude, "I can't make that into a valid latitude."},
        {"40", "200", Field::Longitude, "I can't make that into a valid longitude."},
        {"40", "  ", Field::Longitude, "I can't make that into a valid longitude."},
    };
    for (const Case& c : cases) {
        FakeMapForm form = FormWith(c.latitude, c.longitude, "");
        ScriptedPrompter prompter;
        MapRequest request;
        TileGrid grid;
        EXPECT_FALSE(PressDownload(form, prompter, request, grid));
        ASSERT_EQ(prompter.Log.size(), 1u) << c.latitude << " " << c.longitude;
        EXPECT_EQ(prompter.Log[0].kind, Kind::Inform);
        EXPECT_EQ(prompter.Log[0].text.toStdString(), c.message);
        EXPECT_EQ(form.Focused, c.focused);
        EXPECT_EQ(grid.BottomLeft.EllipsoidIndex, 0);
        EXPECT_TRUE(form.InputsEnabled);
    }
}

TEST(PressDownload, DeclinedDefaultDescriptionFocusesTheDescription)
{
    FakeMapForm form = FormWith("40", "105", "   ");
    ScriptedPrompter prompter;
    prompter.Answers = {false};
    MapRequest request;
    TileGrid grid;
    EXPECT_FALSE(PressDownload(form, prompter, request, grid));
    ASSERT_EQ(prompter.Log.size(), 1u);
    EXPECT_EQ(prompter.Log[0].kind, Kind::YesNo);
    EXPECT_EQ(prompter.Log[0].text,
              QStringLiteral("You have not input description. Do you wisth to use a default "
                             "description of '40.00.00N/105.00.00 (centre)'?"));
    EXPECT_EQ(form.Focused, Field::Description);
    EXPECT_EQ(form.Texts[Field::Description], QStringLiteral("   "));
    EXPECT_EQ(grid.BottomLeft.EllipsoidIndex, 0);
}

TEST(PressDownload, AcceptedDefaultDescriptionGoesIntoTheFieldAndTheRequest)
{
    FakeMapForm form = FormWith("47.36.37", "122.21.07", "");
    form.Lists.ReferenceIsCentre = false;
    ScriptedPrompter prompter;
    MapRequest request;
    TileGrid grid;
    EXPECT_TRUE(PressDownload(form, prompter, request, grid));
    const QString expected = QStringLiteral("47.36.37N/122.21.07 (corner)");
    EXPECT_EQ(form.Texts[Field::Description], expected);
    EXPECT_EQ(request.Description, expected);
    EXPECT_EQ(prompter.Log.size(), 1u);
}

TEST(PressDownload, TypedDescriptionIsTrimmedAndNothingIsAsked)
{
    FakeMapForm form = FormWith("47.5", "75.5", "  Lake shore  ");
    ScriptedPrompter prompter;
    MapRequest request;
    TileGrid grid;
    EXPECT_TRUE(PressDownload(form, prompter, request, grid));
    EXPECT_TRUE(prompter.Log.empty());
    EXPECT_EQ(request.Description, QStringLiteral("Lake shore"));
    EXPECT_EQ(form.Texts[Field::Latitude], QStringLiteral("47.05.00"));
    EXPECT_EQ(form.Texts[Field::Longitude], QStringLiteral("075.05.00"));
    EXPECT_NEAR(request.Latitude, 47.0833333333333, 1e-9);
    EXPECT_NEAR(request.Longitude, -75.0833333333333, 1e-9);
}

TEST(PressDownload, PointOutsideTheUtmBandsEndsSilently)
{
    FakeMapForm form = FormWith("85", "105", "Arctic");
    ScriptedPrompter prompter;
    MapRequest request;
    TileGrid grid;
    EXPECT_FALSE(PressDownload(form, prompter, request, grid));
    EXPECT_TRUE(prompter.Log.empty());
    EXPECT_FALSE(form.Focused.has_value());
}

// 40 N 105 W lies on the central meridian of zone 13: easting 500000 exactly, northing
// 4427757.22 m (meridian arc of WGS-84 to 40 degrees, 4429529.03 m, times 0.9996).
TEST(StartMapDownload, CentreOnTheCentralMeridianSnapsDownAtHalfATile)
{
    ListChoices choices;
    choices.ScaleIndex = 2;
    choices.WidthIndex = 4;
    choices.HeightIndex = 2;
    ScriptedPrompter prompter;
    MapRequest request;
    TileGrid grid;
    ASSERT_TRUE(StartMapDownload(choices, 40.0, -105.0, prompter, request, grid));
    EXPECT_TRUE(prompter.Log.empty());
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

// Invariants over real points, both references and several sizes.
TEST(StartMapDownload, GridInvariantsHoldForRealPoints)
{
    struct Case {
        double latitude, longitude;
        bool centre;
        int16_t scale, width, height;
    };
    const Case cases[] = {
        {47.6061666666667, -122.351166666667, true, 0, 0, 0},
        {47.6061666666667, -122.351166666667, false, 5, 7, 7},
        {32.7157, -117.1611, true, 3, 3, 6},
        {25.7617, -80.1918, false, 6, 2, 1},
        {0.0, -90.0, true, 4, 4, 4},        // the equator: the centre is clamped to northing 0
        {64.8378, -147.7164, true, 1, 5, 2},
    };
    for (const Case& c : cases) {
        ListChoices choices;
        choices.ReferenceIsCentre = c.centre;
        choices.ScaleIndex = c.scale;
        choices.WidthIndex = c.width;
        choices.HeightIndex = c.height;
        choices.TypeIndex = 1;
        ScriptedPrompter prompter;
        prompter.DefaultAnswer = true;
        MapRequest request;
        TileGrid grid;
        ASSERT_TRUE(StartMapDownload(choices, c.latitude, c.longitude, prompter, request, grid))
            << c.latitude << " " << c.longitude;
        const double tile = grid.TileMetres;
        EXPECT_EQ(grid.BottomLeft.Easting, grid.FirstTileX * tile);
        EXPECT_EQ(grid.BottomLeft.Northing, grid.FirstTileY * tile);
        EXPECT_EQ(grid.TopRight.Easting - grid.BottomLeft.Easting, grid.WidthMetres);
        EXPECT_EQ(grid.TopRight.Northing - grid.BottomLeft.Northing, grid.HeightMetres);
        EXPECT_EQ(grid.BottomLeft.Zone, grid.Zone);
        EXPECT_EQ(grid.TopRight.Zone, grid.Zone);
        EXPECT_EQ(grid.TopRight.Band, grid.BottomLeft.Band);
        EXPECT_GE(grid.FirstTileX, 0);
        EXPECT_GE(grid.FirstTileY, 0);
        EXPECT_EQ(grid.Row, request.TilesHigh - 1);
        EXPECT_EQ(grid.Column, -1);
        EXPECT_EQ(request.TilesWide, c.width + 1);
        EXPECT_EQ(request.TilesHigh, c.height + 1);
        EXPECT_EQ(request.ReferenceIsCentre, c.centre);
        // The point lies inside the map, give or take half a tile of snapping.
        const double slack = tile / 2 / 100000.0 + 1e-6;  // degrees; 1 degree > 100 km here
        if (!c.centre) {
            EXPECT_NEAR(grid.BottomLeft.Latitude, c.latitude, slack);
        }
        EXPECT_LE(grid.BottomLeft.Latitude, c.latitude + slack);
        EXPECT_GE(grid.TopRight.Latitude, c.latitude - slack);
        EXPECT_LT(grid.BottomLeft.Latitude, grid.TopRight.Latitude);
        EXPECT_LT(grid.BottomLeft.Longitude, grid.TopRight.Longitude);
    }
}

// Bottom left at 108.05 W (zone 12); 8 tiles of 12800 m reach about 106.85 W (zone 13).
TEST(StartMapDownload, MapAcrossAZoneBoundaryIsAskedFor)
{
    const QString question = QStringLiteral(
        "The map crosses the UTM zone boundary at 108 degrees West. This means that parts of your "
        "map may be blank. Click 'Ok' to download the map. Click 'Cancel' to abandon downloading, "
        "so you can alter the map selection.");
    for (const bool answer : {true, false}) {
        ListChoices choices;
        choices.ReferenceIsCentre = false;
        choices.ScaleIndex = 6;
        choices.WidthIndex = 7;
        choices.HeightIndex = 0;
        ScriptedPrompter prompter;
        prompter.Answers = {answer};
        MapRequest request;
        TileGrid grid;
        EXPECT_EQ(StartMapDownload(choices, 40.0, -108.05, prompter, request, grid), answer);
        EXPECT_EQ(prompter.Texts(Kind::OkCancel), std::vector<QString>{question});
        EXPECT_EQ(grid.Zone, 12);
        EXPECT_EQ(grid.TopRight.Zone, 12);  // computed in the reference point's zone
        EXPECT_GT(grid.TopRight.Longitude, -108.0);
        EXPECT_EQ(grid.Column, answer ? -1 : TileGrid().Column);
    }
}

}  // namespace
