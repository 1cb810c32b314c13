#include "clsMonitors.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

using namespace MonitorGeometry;

// A monitor from its corner and size, work area less a task bar of the given thickness on one side.
enum class Bar { None, Top, Bottom, Left, Right };
clsMonitor MakeMonitor(int32_t handle, int x, int y, int w, int h, Bar bar = Bar::None, int thickness = 0)
{
    QRect work(x, y, w, h);
    switch (bar) {
    case Bar::Top: work.setTop(y + thickness); break;
    case Bar::Bottom: work.setHeight(h - thickness); break;
    case Bar::Left: work.setLeft(x + thickness); break;
    case Bar::Right: work.setWidth(w - thickness); break;
    case Bar::None: break;
    }
    return clsMonitor::FromRects(handle, QRect(x, y, w, h), work);
}

DisplayLayout OneMonitor(int w, int h, Bar bar = Bar::None, int thickness = 0)
{
    DisplayLayout layout;
    layout.screens = {MakeMonitor(1, 0, 0, w, h, bar, thickness)};
    layout.primaryHandle = 1;
    layout.screenWidthTwips = w * 15.0;
    layout.screenHeightTwips = h * 15.0;
    return layout;
}

// Primary 1280 x 1024 at the origin, a 1024 x 768 monitor to its left.
DisplayLayout TwoMonitorsSecondOnTheLeft()
{
    DisplayLayout layout;
    layout.screens = {MakeMonitor(1, 0, 0, 1280, 1024), MakeMonitor(2, -1024, 0, 1024, 768)};
    layout.primaryHandle = 1;
    layout.screenWidthTwips = 1280 * 15.0;
    layout.screenHeightTwips = 1024 * 15.0;
    return layout;
}

TEST(MonitorGeometry, OneMonitorDesktopAndKeys)
{
    clsMonitors monitors([] { return OneMonitor(1024, 768); });
    EXPECT_EQ(monitors.DesktopLeft(), 0);
    EXPECT_EQ(monitors.DesktopTop(), 0);
    EXPECT_EQ(monitors.DesktopWidth(), 1024);
    EXPECT_EQ(monitors.DesktopHeight(), 768);
    EXPECT_EQ(monitors.DesktopWidthTwips(), 15360);
    EXPECT_EQ(monitors.DesktopHeightTwips(), 11520);
    EXPECT_EQ(monitors.MonitorKeys(), (QStringList{"0", "1"}));

    const clsMonitor* fallback = monitors.Monitor("0");
    ASSERT_NE(fallback, nullptr);
    EXPECT_EQ(fallback->Handle, 0);
    EXPECT_EQ(fallback->Right, 1024);
    EXPECT_EQ(fallback->Bottom, 768);
    EXPECT_EQ(fallback->WorkRight, 1024);
    EXPECT_EQ(fallback->Width, 1024);
}

TEST(MonitorGeometry, ScanProbesEveryCellIncludingTheEnds)
{
    int probes = 0;
    EXPECT_EQ(ScanMonitors(OneMonitor(1280, 1024), &probes).size(), 2u);
    EXPECT_EQ(probes, 9);
}

TEST(MonitorGeometry, MonitorOnTheLeftMakesTheDesktopStartNegative)
{
    clsMonitors monitors(TwoMonitorsSecondOnTheLeft);
    EXPECT_EQ(monitors.DesktopLeft(), -1024);
    EXPECT_EQ(monitors.DesktopWidth(), 2304);
    EXPECT_EQ(monitors.DesktopHeight(), 1024);
    EXPECT_EQ(monitors.DesktopLeftTwips(), -15360);
    // The scan starts at the left monitor, so it is met first.
    EXPECT_EQ(monitors.MonitorKeys(), (QStringList{"0", "2", "1"}));
}

TEST(MonitorGeometry, PointQueries)
{
    const DisplayLayout layout = TwoMonitorsSecondOnTheLeft();
    struct Case {
        int x, y, flags, expected;
    };
    const Case cases[] = {
        {10, 10, 0, 1},
        {-1, 0, 0, 2},       // last column of the left monitor
        {0, 0, 0, 1},        // first column of the primary
        {-10, 800, 0, 0},    // below the smaller left monitor
        {-10, 800, 1, 1},    // ... the primary instead
        {-10, 800, 2, 1},    // ... or the nearest: 10 pixels from the primary
        {-500, 900, 2, 2},   // 132 pixels below the left monitor, 500 left of the primary
        {5000, 5000, 0, 0},
        {5000, 5000, 1, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MonitorFromPoint(layout, c.x, c.y, c.flags), c.expected)
            << c.x << "," << c.y << " flags " << c.flags;
}

TEST(MonitorGeometry, WithoutMultiMonitorSupportOnlyThePrimaryScreenIsKnown)
{
    DisplayLayout layout = OneMonitor(1024, 768);
    layout.multiMonitor = false;
    clsMonitors monitors([layout] { return layout; });
    EXPECT_EQ(monitors.DesktopWidth(), 1024);
    EXPECT_EQ(monitors.DesktopHeight(), 768);
    EXPECT_EQ(monitors.MonitorKeys(), QStringList{"0"});
    EXPECT_EQ(monitors.GetMonitorFromXYPoint(10, 10, 1), 0);
    // Centred on the primary screen: (15360 - 9000) / 2, (11520 - 6000) / 2.
    EXPECT_EQ(CenterFormPosition(layout, 9000, 6000, std::nullopt), QPoint(3180, 2760));
}

TEST(MonitorGeometry, CentringUsesTheMonitorCornerAndTheWorkAreaSize)
{
    // 1024 x 768 monitor, window 600 x 400 pixels (9000 x 6000 twips). Expected places in twips,
    // worked by hand: free space of the work area halved, added to the monitor's corner.
    struct Case {
        Bar bar;
        int thickness;
        QPoint expected;
        QPoint workCentrePixels;  // where a window centred in the work area would sit
    };
    const Case cases[] = {
        {Bar::None, 0, {3180, 2760}, {212, 184}},
        {Bar::Bottom, 30, {3180, 2535}, {212, 169}},   // centred exactly
        {Bar::Top, 30, {3180, 2535}, {212, 199}},      // one bar higher
        {Bar::Right, 60, {2730, 2760}, {182, 184}},    // centred exactly
        {Bar::Left, 60, {2730, 2760}, {242, 184}},     // one bar further left
    };
    for (const Case& c : cases) {
        const auto place = CenterFormPosition(OneMonitor(1024, 768, c.bar, c.thickness), 9000, 6000, std::nullopt);
        ASSERT_TRUE(place.has_value());
        EXPECT_EQ(*place, c.expected) << int(c.bar);
        const QPoint pixels(place->x() / 15, place->y() / 15);
        const QPoint offWorkCentre = c.workCentrePixels - pixels;
        const bool barOnTopOrLeft = c.bar == Bar::Top || c.bar == Bar::Left;
        EXPECT_EQ(offWorkCentre.manhattanLength(), barOnTopOrLeft ? c.thickness : 0) << int(c.bar);
    }
}

TEST(MonitorGeometry, CentringOnTheReferenceWindowsMonitorTruncatesTowardZero)
{
    const DisplayLayout layout = TwoMonitorsSecondOnTheLeft();
    // Reference centred at pixel (-700, 300): the left monitor. -15360 + (15360 - 6000) / 2.
    const QRect reference(-15000, 1500, 9000, 6000);
    EXPECT_EQ(CenterFormPosition(layout, 6000, 3000, reference), QPoint(-10680, (11520 - 3000) / 2));
    // A window 15 twips wider than the work area: -15 / 2 is -7, not -8.
    EXPECT_EQ(CenterFormPosition(layout, 15375, 3000, reference)->x(), -15360 - 7);
    // Without a reference: pixel (1, 1), the primary monitor.
    EXPECT_EQ(CenterFormPosition(layout, 6000, 3000, std::nullopt), QPoint((19200 - 6000) / 2, (15360 - 3000) / 2));
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
    // Centred on the left monitor (corner -1024, 0; 1024 x 768).
    EXPECT_EQ(outer.x(), -1024 + (1024 - outer.width()) / 2);
    EXPECT_EQ(outer.y(), (768 - outer.height()) / 2);
}

TEST(MonitorGeometry, RealScreensUseTheLogicalDpi)
{
    const DisplayLayout layout = clsMonitors::ScreenLayout();
    const QScreen* primary = QGuiApplication::primaryScreen();
    ASSERT_NE(primary, nullptr);
    EXPECT_DOUBLE_EQ(layout.twipsPerPixelX * primary->logicalDotsPerInchX(), 1440.0);
    EXPECT_EQ(layout.screens.size(), size_t(QGuiApplication::screens().size()));
    clsMonitors monitors;
    EXPECT_EQ(monitors.DesktopWidth(), primary->virtualGeometry().width());
    EXPECT_EQ(monitors.MonitorKeys().first(), "0");
}

}  // namespace
