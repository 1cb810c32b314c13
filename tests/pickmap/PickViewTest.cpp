#include <cmath>
#include <tuple>

#include <gtest/gtest.h>

#include "MapRequest.h"
#include "PickView.h"
#include "ScriptedPrompter.h"

// Expected values from PROJ's cs2cs on the program's ellipsoid (a = 6378137, b = 6356750.321).
namespace {

constexpr double SeattleLat = 47.0 + 36.37 / 60.0;
constexpr double SeattleLong = -(122.0 + 21.07 / 60.0);   // zone 10: 548767.1833 E, 5272730.4094 N
constexpr double Hundredth = 0.01 / 60.0;                  // of a minute, in degrees

PickView OpenView(double latitude, double longitude, int16_t scale)
{
    PickView view;
    EXPECT_TRUE(view.Open(latitude, longitude, scale, 1200, 800));
    return view;
}

// The view is 1200 x 800 around the point.
TEST(PickView, ClickGivesTheLatLongOfTheUtmGrid)
{
    const struct { double lat, lon; int16_t scale; double x, y, expectLat, expectLong; } cases[] = {
        {SeattleLat, SeattleLong, 14, 850, 250, 47.627446402, -122.297662671},   // +4000 E, +2400 N
        {40.0, -107.5, 10, 1199, 0, 40.003751613, -107.493120333},                 // zone 13, +599 E, +400 N
    };
    for (const auto& c : cases) {
        PickView view = OpenView(c.lat, c.lon, c.scale);
        double lat = 0, lon = 0;
        ASSERT_TRUE(view.ScreenToLatLong(c.x, c.y, lat, lon));
        ASSERT_TRUE(view.SetPointAt(c.x, c.y));
        for (const auto& [a, b] : {std::pair{lat, lon}, {view.PointLatitude(), view.PointLongitude()}}) {
            EXPECT_NEAR(a, c.expectLat, Hundredth) << c.x;
            EXPECT_NEAR(b, c.expectLong, Hundredth) << c.x;
        }
    }
}

// 47.5 N 120.01 W lies in zone 10 at 725178.3850 E; 3200 m east of it is in zone 11.
TEST(PickView, PointIntoAnotherZoneRecentresThereAndKeepsThePoint)
{
    PickView byArrow = OpenView(47.5, -120.01, 14), byClick = byArrow;
    ASSERT_TRUE(byArrow.MovePoint(200, 0));
    ASSERT_TRUE(byClick.SetPointAt(800, 400));
    for (const PickView* view : {&byArrow, &byClick}) {
        EXPECT_EQ(view->Zone(), 11);
        EXPECT_NEAR(view->PointLatitude(), 47.498884828, 1e-7);
        EXPECT_NEAR(view->PointLongitude(), -119.967570103, 1e-7);
        EXPECT_NEAR(view->PointEasting(), 276505.9540, 0.01);
        EXPECT_NEAR(view->PointNorthing(), 5264872.4633, 0.01);
        EXPECT_EQ(std::tuple(view->CentreEasting(), view->CentreNorthing()),
                  std::tuple(view->PointEasting(), view->PointNorthing()));
    }
    // Where the fields cannot follow (east of Greenwich, beyond 84 N) the point stays.
    PickView edge = OpenView(83.99, -0.001, 10);
    EXPECT_FALSE(edge.MovePoint(200, 0));
    EXPECT_FALSE(edge.MovePoint(0, 2000));
    EXPECT_EQ(edge.PointLongitude(), -0.001);
}

// The rectangle is the grid a Download makes, at its corners' screen places, on the view's tiles.
TEST(PickView, RectangleIsTheDownloadsTileGrid)
{
    const struct { double lat, lon; bool centre; int16_t wide, high, scale; int32_t firstX, firstY; } cases[] = {
        {SeattleLat, SeattleLong, true, 5, 3, 2, 683, 6589}, {SeattleLat, SeattleLong, false, 1, 1, 4, 171, 1648},
        {47.5, -120.01, true, 8, 8, 6, 53, 407},   // reaches over the zone's east edge
    };
    for (const auto& c : cases) {
        ListChoices lists{c.scale, int16_t(c.wide - 1), int16_t(c.high - 1), 0, c.centre};
        MapRequest request;
        TileGrid grid, download;
        ScriptedPrompter prompter;
        ASSERT_TRUE(StartMapDownload(lists, c.lat, c.lon, prompter, request, download));
        for (const int16_t viewScale : {int16_t(c.scale + 10), int16_t(c.scale + 11)}) {
            const PickView view = OpenView(c.lat, c.lon, viewScale);
            ASSERT_TRUE(view.MapGrid(lists, request, grid));
            for (const TileGrid* g : {&grid, &download})
                EXPECT_EQ(std::tuple(g->FirstTileX, g->FirstTileY, g->Zone), std::tuple(c.firstX, c.firstY, view.Zone()));
            const PickView::Rect rect = view.GridRect(grid);
            const int tilePixels = 200 * (1 << c.scale) / int(view.MetresPerPixel());
            const PickView::Point corner = view.UtmToScreen(c.firstX * grid.TileMetres, (c.firstY + c.high) * grid.TileMetres);
            EXPECT_EQ(std::tuple(rect.Right - rect.Left, rect.Bottom - rect.Top), std::tuple(c.wide * tilePixels, c.high * tilePixels));
            EXPECT_LE(std::max(std::fabs(rect.Left - corner.X), std::fabs(rect.Top - corner.Y)), 0.5);
        }
    }
}

TEST(PickView, CoveringTilesFillTheViewNearestTheCentreFirst)
{
    PickView view = OpenView(SeattleLat, SeattleLong, 14);
    for (const auto& [width, height] : {std::pair{1200, 800}, {201, 1}, {1000, 1000}}) {
        view.Resize(width, height);
        const std::vector<TileAddress> tiles = view.CoveringTiles(2);
        ASSERT_FALSE(tiles.empty());
        int covered = 0;
        for (const TileAddress& tile : tiles) {
            EXPECT_EQ(std::tie(tile.Type, tile.Scale, tile.Zone), std::tuple(2, 14, 10));
            const PickView::Rect r = view.TileRect(tile);
            covered += (std::min(r.Right, width) - std::max(r.Left, 0)) * (std::min(r.Bottom, height) - std::max(r.Top, 0));
        }
        EXPECT_EQ(covered, width * height);   // every pixel once, no tile outside
        const PickView::Rect first = view.TileRect(tiles.front());
        EXPECT_TRUE(first.Left <= width / 2 && width / 2 < first.Right && first.Top <= height / 2 && height / 2 < first.Bottom);
    }
    // Scale steps stop at 10 and 19 and keep the ground under the anchor.
    const PickView::Point anchor{100, 700}, ground = view.ScreenToUtm(anchor.X, anchor.Y);
    EXPECT_TRUE(view.StepScale(-9, anchor));
    EXPECT_FALSE(view.StepScale(-1, anchor));
    EXPECT_TRUE(view.StepScale(20, anchor));
    const PickView::Point back = view.UtmToScreen(ground.X, ground.Y);
    EXPECT_EQ(view.ScaleCode(), 19);
    EXPECT_LT(std::hypot(back.X - anchor.X, back.Y - anchor.Y), 1e-6);
}

}  // namespace
