#include "clsMonitors.h"

#include <QGuiApplication>
#include <QScreen>

#include <gtest/gtest.h>

namespace {

using namespace MonitorGeometry;

// The primary is monitor 1 at the origin, w x h pixels at 15 twips each.
DisplayLayout Layout(std::vector<clsMonitor> screens, int w = 1024, int h = 768)
{
    return {.screens = std::move(screens), .primaryHandle = 1, .screenWidthTwips = w * 15.0, .screenHeightTwips = h * 15.0};
}
// One monitor, its work area less a task bar given as margins.
DisplayLayout OneMonitor(QMargins bar = {}, int w = 1024, int h = 768)
{
    return Layout({clsMonitor::FromRects(1, {0, 0, w, h}, QRect(0, 0, w, h).marginsRemoved(bar))}, w, h);
}
// Primary 1280 x 1024, a 1024 x 768 monitor to its left.
DisplayLayout TwoMonitors()
{
    return Layout({clsMonitor::FromRects(1, {0, 0, 1280, 1024}, {0, 0, 1280, 1024}),
                   clsMonitor::FromRects(2, {-1024, 0, 1024, 768}, {-1024, 0, 1024, 768})}, 1280, 1024);
}

// The desktop spans every monitor, or only the primary one; real screens count twips at the logical dpi.
TEST(MonitorGeometry, DesktopBounds)
{
    clsMonitors two(TwoMonitors);
    EXPECT_EQ(std::tuple(two.DesktopLeft(), two.DesktopWidth(), two.DesktopLeftTwips()), std::tuple(-1024, 2304, -15360));
    clsMonitors primaryOnly([] { auto l = TwoMonitors(); l.multiMonitor = false; return l; });
    EXPECT_EQ(primaryOnly.DesktopWidth(), 1280);
    const QScreen* primary = QGuiApplication::primaryScreen();
    EXPECT_DOUBLE_EQ(clsMonitors::ScreenLayout().twipsPerPixelX * primary->logicalDotsPerInchX(), 1440.0);
    EXPECT_EQ(clsMonitors().DesktopWidth(), primary->virtualGeometry().width());
}

TEST(MonitorGeometry, CentringUsesTheMonitorCornerAndTheWorkAreaSize)
{
    // Window 9000 x 6000 twips: the work area's free space halved, added to the monitor's corner.
    const std::pair<QMargins, QPoint> cases[] = {
        {{}, {3180, 2760}}, {{0, 30, 0, 0}, {3180, 2535}}, {{60, 0, 0, 0}, {2730, 2760}}};
    for (const auto& [bar, expected] : cases)
        EXPECT_EQ(CenterFormPosition(OneMonitor(bar), 9000, 6000, std::nullopt), expected) << bar.top() << bar.left();
    // On the reference window's monitor; a window 15 twips wider than it: -15 / 2 is -7, not -8.
    const QRect reference(-15000, 1500, 9000, 6000);
    EXPECT_EQ(CenterFormPosition(TwoMonitors(), 6000, 3000, reference), QPoint(-10680, 4260));
    EXPECT_EQ(CenterFormPosition(TwoMonitors(), 15375, 3000, reference)->x(), -15367);
    EXPECT_EQ(CenterFormPosition(TwoMonitors(), 6000, 3000, std::nullopt), QPoint(6600, 6180));
}

}  // namespace
