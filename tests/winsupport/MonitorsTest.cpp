#include "clsMonitors.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

using namespace MonitorGeometry;

// One monitor at the origin, its work area less a task bar on one side.
enum class Bar { None, Top, Bottom, Left, Right };
DisplayLayout OneMonitor(Bar bar = Bar::None, int thickness = 0, int w = 1024, int h = 768)
{
    QRect work(0, 0, w, h);
    switch (bar) {
    case Bar::Top: work.setTop(thickness); break;
    case Bar::Bottom: work.setBottom(h - 1 - thickness); break;
    case Bar::Left: work.setLeft(thickness); break;
    case Bar::Right: work.setRight(w - 1 - thickness); break;
    case Bar::None: break;
    }
    DisplayLayout layout;
    layout.screens = {clsMonitor::FromRects(1, QRect(0, 0, w, h), work)};
    layout.primaryHandle = 1;
    layout.screenWidthTwips = w * 15.0;
    layout.screenHeightTwips = h * 15.0;
    return layout;
}

// Primary 1280 x 1024 at the origin, a 1024 x 768 monitor to its left.
DisplayLayout TwoMonitorsSecondOnTheLeft()
{
    DisplayLayout layout;
    layout.screens = {clsMonitor::FromRects(1, QRect(0, 0, 1280, 1024), QRect(0, 0, 1280, 1024)),
                      clsMonitor::FromRects(2, QRect(-1024, 0, 1024, 768), QRect(-1024, 0, 1024, 768))};
    layout.primaryHandle = 1;
    layout.screenWidthTwips = 1280 * 15.0;
    layout.screenHeightTwips = 1024 * 15.0;
    return layout;
}

TEST(MonitorGeometry, DesktopBoundsAndKeys)
{
    clsMonitors one([] { return OneMonitor(); });
    EXPECT_EQ(one.DesktopWidthTwips(), 15360);
    EXPECT_EQ(one.MonitorKeys(), (QStringList{"0", "1"}));
    ASSERT_NE(one.Monitor("0"), nullptr);  // the fallback entry under key "0"
    EXPECT_EQ(one.Monitor("0")->WorkRight, 1024);
    int probes = 0;
    EXPECT_EQ(ScanMonitors(OneMonitor(Bar::None, 0, 1280, 1024), &probes).size(), 2u);
    EXPECT_EQ(probes, 9);  // every 640 x 480 cell, including the ends

    clsMonitors two(TwoMonitorsSecondOnTheLeft);
    EXPECT_EQ(two.DesktopLeft(), -1024);
    EXPECT_EQ(two.DesktopWidth(), 2304);
    EXPECT_EQ(two.DesktopLeftTwips(), -15360);
    EXPECT_EQ(two.MonitorKeys(), (QStringList{"0", "2", "1"}));  // the scan meets the left one first

    DisplayLayout single = TwoMonitorsSecondOnTheLeft();
    single.multiMonitor = false;
    clsMonitors primaryOnly([single] { return single; });
    EXPECT_EQ(primaryOnly.DesktopWidth(), 1280);
    EXPECT_EQ(primaryOnly.MonitorKeys(), QStringList{"0"});
    EXPECT_EQ(primaryOnly.GetMonitorFromXYPoint(10, 10, 1), 0);
}

TEST(MonitorGeometry, PointQueries)
{
    const DisplayLayout layout = TwoMonitorsSecondOnTheLeft();
    const int cases[][4] = {
        // x, y, flags, expected
        {-1, 0, 0, 2},      // last column of the left monitor
        {0, 0, 0, 1},       // first column of the primary
        {-10, 800, 0, 0},   // below the smaller left monitor: none,
        {-10, 800, 1, 1},   // the primary,
        {-10, 800, 2, 1},   // or the nearest: 10 pixels from the primary
        {-500, 900, 2, 2},  // 132 pixels below the left monitor, 500 left of the primary
    };
    for (const auto& c : cases)
        EXPECT_EQ(MonitorFromPoint(layout, c[0], c[1], c[2]), c[3]) << c[0] << "," << c[1] << " flags " << c[2];
}

TEST(MonitorGeometry, CentringUsesTheMonitorCornerAndTheWorkAreaSize)
{
    // Window 9000 x 6000 twips: the work area's free space halved, added to the monitor's corner.
    const std::tuple<Bar, int, QPoint> cases[] = {
        {Bar::None, 0, {3180, 2760}},  {Bar::Bottom, 30, {3180, 2535}}, {Bar::Top, 30, {3180, 2535}},
        {Bar::Right, 60, {2730, 2760}}, {Bar::Left, 60, {2730, 2760}},
    };
    for (const auto& [bar, thickness, expected] : cases)
        EXPECT_EQ(CenterFormPosition(OneMonitor(bar, thickness), 9000, 6000, std::nullopt), expected) << int(bar);

    // On the reference window's monitor; a window 15 twips wider than it: -15 / 2 is -7, not -8.
    const DisplayLayout two = TwoMonitorsSecondOnTheLeft();
    const QRect reference(-15000, 1500, 9000, 6000);
    EXPECT_EQ(CenterFormPosition(two, 6000, 3000, reference), QPoint(-10680, 4260));
    EXPECT_EQ(CenterFormPosition(two, 15375, 3000, reference)->x(), -15367);
    EXPECT_EQ(CenterFormPosition(two, 6000, 3000, std::nullopt), QPoint(6600, 6180));
}

TEST(MonitorGeometry, CenterFormOnMonitorMovesTheWindowAndAnswersFalse)
{
    clsMonitors monitors(TwoMonitorsSecondOnTheLeft);
    QWidget reference;
    reference.setGeometry(-1000, 100, 600, 400);
    QWidget window;
    window.resize(400, 200);
    EXPECT_FALSE(monitors.CenterFormOnMonitor(&window, &reference));
    const QRect outer = window.frameGeometry();
    EXPECT_EQ(outer.x(), -1024 + (1024 - outer.width()) / 2);
    EXPECT_EQ(outer.y(), (768 - outer.height()) / 2);
}

TEST(MonitorGeometry, RealScreensUseTheLogicalDpi)
{
    const DisplayLayout layout = clsMonitors::ScreenLayout();
    const QScreen* primary = QGuiApplication::primaryScreen();
    EXPECT_DOUBLE_EQ(layout.twipsPerPixelX * primary->logicalDotsPerInchX(), 1440.0);
    EXPECT_EQ(clsMonitors().DesktopWidth(), primary->virtualGeometry().width());
}

}  // namespace
