#include <cmath>
#include <limits>

#include <QString>
#include <gtest/gtest.h>

#include "FakeMapForm.h"
#include "MapRequest.h"
#include "ScriptedPrompter.h"

namespace {

using Field = MapForm::Field;
using Kind = ScriptedPrompter::Kind;

const QString DoqWarning = QStringLiteral(
    "The last time I checked, DOQ maps were only available with a resolution of from 1 to 64 "
    "metres/pixel.");
const QString DrgWarning = QStringLiteral(
    "The last time I checked, DRG maps were only available with a resolution of from 2 to 512 "
    "metres/pixel.");

TEST(SnapToGrid, MovesToTheNearestLineAndKeepsTheLowerOneAtHalfATile)
{
    struct Case {
        double metres;
        int32_t tileMetres;
        int32_t index;
    };
    const Case cases[] = {
        {498000.0, 800, 622},     // exactly half a tile above 497600
        {4398800.0, 800, 5498},   // exactly half a tile above 4398400
        {499900.4, 200, 2500},
        {499900.0, 200, 2499},
        {499999.6, 200, 2500},    // rounds to 500000 first; remainder -0.4
        {0.0, 800, 0},
        {100.0, 200, 0},
        {100.5, 200, 1},          // 100.5 rounds to the even 100, remainder over half
        {99.5, 200, 0},           // rounds to 100, remainder 99.5
        {300.5, 200, 2},          // rounds to 300, remainder 100.5
        {199.6, 200, 1},
        {51200.0, 102400, 0},
        {51200.1, 102400, 1},
        {-150.0, 200, 0},         // the quotient is truncated toward zero
        {-350.0, 200, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SnapToGrid(c.metres, c.tileMetres), c.index) << c.metres << " / " << c.tileMetres;
}

TEST(SnapToGrid, NoTileSideOrNoNumberGivesZeroInsteadOfFaulting)
{
    EXPECT_EQ(SnapToGrid(1000.0, 0), 0);
    EXPECT_EQ(SnapToGrid(1000.0, -200), 0);
    EXPECT_EQ(SnapToGrid(std::numeric_limits<double>::quiet_NaN(), 200), 0);
    EXPECT_EQ(SnapToGrid(1e300, 200), std::numeric_limits<int32_t>::max() / 200 + 1);
}

TEST(MaxValue, LargerOneOrTheSecondOnEquality)
{
    EXPECT_EQ(MaxValue(3.0, 2.0), 3.0);
    EXPECT_EQ(MaxValue(2.0, 3.0), 3.0);
    EXPECT_EQ(MaxValue(1500.0 - 2000, 0), 0.0);  // a centre nearer the origin than half the map
    EXPECT_TRUE(std::signbit(MaxValue(0.0, -0.0)));
}

TEST(ResolutionWarning, OnlyOutsideWhatTheServiceHasForTheType)
{
    struct Case {
        int16_t type;
        int16_t metresPerPixel;
        const QString* warning;
    };
    const Case cases[] = {
        {1, 1, nullptr}, {1, 64, nullptr}, {1, 128, &DoqWarning}, {1, 512, &DoqWarning},
        {2, 1, &DrgWarning}, {2, 2, nullptr}, {2, 512, nullptr},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ResolutionWarning(c.type, c.metresPerPixel), c.warning ? *c.warning : QString())
            << c.type << " " << c.metresPerPixel;
}

TEST(DefaultDescription, TrimmedTextsAsTypedWithTheReference)
{
    EXPECT_EQ(DefaultDescription(QStringLiteral(" 47.36.37 "), QStringLiteral("122.21.07  "), true),
              QStringLiteral("47.36.37N/122.21.07 (centre)"));
    EXPECT_EQ(DefaultDescription(QStringLiteral("47.5"), QStringLiteral("75"), false),
              QStringLiteral("47.5N/75 (corner)"));
}

TEST(ConfirmZoneCrossing, AsksOnlyAcrossABoundaryAndNamesTheWesternEdgeOfTheEastZone)
{
    const QString question = QStringLiteral(
        "The map crosses the UTM zone boundary at 108 degrees West. This means that parts of your "
        "map may be blank. Click 'Ok' to download the map. Click 'Cancel' to abandon downloading, "
        "so you can alter the map selection.");
    for (const bool answer : {true, false}) {
        ScriptedPrompter prompter;
        prompter.Answers = {answer};
        EXPECT_EQ(ConfirmZoneCrossing(-108.2, -107.9, prompter), answer);
        ASSERT_EQ(prompter.Log.size(), 1u);
        EXPECT_EQ(prompter.Log[0].kind, Kind::OkCancel);
        EXPECT_EQ(prompter.Log[0].text, question);
    }

    struct Case {
        double a, b;
        bool asks;
    };
    const Case cases[] = {
        {-105.5, -104.1, false},
        {-108.0, -102.0000001, false},  // both in the zone from 108 to 102 West
        {-108.0000001, -108.0, true},
        {-180.0, -174.0000001, false},
        {-0.5, 0.5, true},
    };
    for (const Case& c : cases) {
        ScriptedPrompter prompter;
        prompter.DefaultAnswer = false;
        EXPECT_EQ(ConfirmZoneCrossing(c.a, c.b, prompter), !c.asks) << c.a << " " << c.b;
        EXPECT_EQ(prompter.Log.size(), c.asks ? 1u : 0u) << c.a << " " << c.b;
    }
}

// Lists -> request and tile sizes; the point lies on the central meridian of zone 13.
TEST(StartMapDownload, ListsGiveTheRequestAndTheTileSizes)
{
    struct Case {
        int16_t scaleIndex;
        int16_t metresPerPixel;
        int16_t scaleCode;
        int32_t tileMetres;
    };
    const Case cases[] = {{0, 1, 10, 200}, {2, 4, 12, 800}, {6, 64, 16, 12800}, {9, 512, 19, 102400}};
    for (const Case& c : cases) {
        ListChoices choices;
        choices.ScaleIndex = c.scaleIndex;
        choices.WidthIndex = 4;
        choices.HeightIndex = 2;
        choices.TypeIndex = 1;  // DRG: warns only at 1 m
        ScriptedPrompter prompter;
        MapRequest request;
        TileGrid grid;
        EXPECT_TRUE(StartMapDownload(choices, 40.0, -105.0, prompter, request, grid));
        EXPECT_EQ(request.TilesWide, 5);
        EXPECT_EQ(request.TilesHigh, 3);
        EXPECT_EQ(request.ResolutionIndex, c.scaleIndex);
        EXPECT_EQ(request.ImageType, 2);
        EXPECT_EQ(grid.MetresPerPixel, c.metresPerPixel);
        EXPECT_EQ(grid.ScaleCode, c.scaleCode);
        EXPECT_EQ(grid.TileMetres, c.tileMetres);
        EXPECT_EQ(grid.WidthMetres, 5 * c.tileMetres);
        EXPECT_EQ(grid.HeightMetres, 3 * c.tileMetres);
    }
}

TEST(StartMapDownload, ResolutionWarningIsAskedAndNoStops)
{
    struct Case {
        int16_t typeIndex;
        int16_t scaleIndex;
        const QString* warning;
    };
    const Case cases[] = {
        {0, 6, nullptr}, {0, 7, &DoqWarning}, {1, 0, &DrgWarning}, {1, 1, nullptr},
    };
    for (const Case& c : cases) {
        for (const bool answer : {true, false}) {
            ListChoices choices;
            choices.TypeIndex = c.typeIndex;
            choices.ScaleIndex = c.scaleIndex;
            ScriptedPrompter prompter;
            prompter.Answers = {answer};
            MapRequest request;
            TileGrid grid;
            const bool started = StartMapDownload(choices, 40.0, -105.0, prompter, request, grid);
            if (c.warning == nullptr) {
                EXPECT_TRUE(started);
                EXPECT_TRUE(prompter.Log.empty());
                continue;
            }
            ASSERT_EQ(prompter.Log.size(), 1u);
            EXPECT_EQ(prompter.Log[0].kind, Kind::YesNo);
            EXPECT_EQ(prompter.Log[0].text, *c.warning + QStringLiteral(" Do you wish to continue?"));
            EXPECT_EQ(started, answer);
            if (!answer) {
                EXPECT_EQ(grid.BottomLeft.EllipsoidIndex, 0);  // no conversion was made
            }
        }
    }
}

TEST(StartMapDownload, ListWithoutSelectionStartsNothing)
{
    const auto choicesWith = [](int16_t scale, int16_t width, int16_t height, int16_t type) {
        ListChoices choices;
        choices.ScaleIndex = scale;
        choices.WidthIndex = width;
        choices.HeightIndex = height;
        choices.TypeIndex = type;
        return choices;
    };
    const ListChoices cases[] = {
        choicesWith(-1, 4, 4, 0), choicesWith(10, 4, 4, 0), choicesWith(15, 4, 4, 1),
        choicesWith(0, -1, 4, 0), choicesWith(0, 8, 4, 0), choicesWith(0, 4, -1, 0),
        choicesWith(0, 4, 8, 0), choicesWith(0, 4, 4, -1), choicesWith(0, 4, 4, 2),
    };
    for (const ListChoices& choices : cases) {
        ScriptedPrompter prompter;
        MapRequest request;
        TileGrid grid;
        EXPECT_FALSE(StartMapDownload(choices, 40.0, -105.0, prompter, request, grid));
        EXPECT_TRUE(prompter.Log.empty());
    }
}

}  // namespace
