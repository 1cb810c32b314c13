#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>

#include "clsMonitor.h"

class QWidget;

// What the display reports: the monitors (pixels), the primary screen and the twips-per-pixel
// factors (1440 / logical DPI: 15 at 96 DPI). Without multi-monitor support only the primary
// screen's size in twips is known.
struct DisplayLayout {
    std::vector<clsMonitor> screens;  // real monitors, each with a non-zero Handle
    int32_t primaryHandle = 0;
    bool multiMonitor = true;
    double screenWidthTwips = 0;  // primary screen
    double screenHeightTwips = 0;
    double twipsPerPixelX = 15;
    double twipsPerPixelY = 15;
};

// Monitor search flags: what a query answers when no monitor contains the point or window.
namespace MonitorFlags {
inline constexpr int32_t DefaultToNull = 0;
inline constexpr int32_t DefaultToPrimary = 1;
inline constexpr int32_t DefaultToNearest = 2;
}  // namespace MonitorFlags

// The arithmetic, free of Qt's screens so that any monitor layout can be fed in.
namespace MonitorGeometry {

inline constexpr int32_t ScanCellWidth = 640;
inline constexpr int32_t ScanCellHeight = 480;

// Rounds half to even, as the Windows conversions do.
int32_t RoundWhole(double value);

struct DesktopPixels {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 0;
    int32_t Height = 0;
};
// Bounding rectangle of all monitors; the primary screen alone without multi-monitor support.
DesktopPixels Desktop(const DisplayLayout& layout);
int32_t ToTwips(int32_t pixels, double twipsPerPixel);

// Monitor with the largest share of the rectangle (pixels, right/bottom inclusive as QRect);
// when none, what the flags say. 0 without multi-monitor support.
int32_t MonitorFromRect(const DisplayLayout& layout, const QRect& rect, int32_t flags);
int32_t MonitorFromPoint(const DisplayLayout& layout, int32_t x, int32_t y, int32_t flags);
const clsMonitor* FindMonitor(const DisplayLayout& layout, int32_t handle);

// The entry under key "0": the primary screen's size from its twips, work area the whole screen.
clsMonitor FallbackMonitor(const DisplayLayout& layout);
// The fallback entry, then every monitor met by probing the centres of 640 x 480 cells across
// the desktop, each once. probes counts the point queries.
std::vector<clsMonitor> ScanMonitors(const DisplayLayout& layout, int* probes = nullptr);

// Where a window (outer size in twips) goes when centred on the monitor under the reference
// window's centre (outer rectangle in twips), or under pixel (1, 1) without one: the monitor's
// corner plus half the free space of its work area. Result in twips; nullopt when the monitor
// found cannot be described (the window then stays).
std::optional<QPoint> CenterFormPosition(const DisplayLayout& layout, int32_t windowWidthTwips,
                                         int32_t windowHeightTwips,
                                         const std::optional<QRect>& referenceTwips);

}  // namespace MonitorGeometry

// The monitors of the desktop and the desktop's bounding rectangle, in pixels and twips.
// Monitors are keyed by the decimal text of their handle ("0" the fallback entry first).
// Handles are the 1-based index of the screen in Qt's screen list.
class clsMonitors {
public:
    using LayoutSource = std::function<DisplayLayout()>;

    // Without a source the real screens are asked. Runs Refresh.
    explicit clsMonitors(LayoutSource source = {});

    int32_t DesktopLeft() const;
    int32_t DesktopTop() const;
    int32_t DesktopWidth() const;
    int32_t DesktopHeight() const;
    int32_t DesktopLeftTwips() const;
    int32_t DesktopTopTwips() const;
    int32_t DesktopWidthTwips() const;
    int32_t DesktopHeightTwips() const;

    double TwipsPerPixelX() const;
    double TwipsPerPixelY() const;

    int32_t GetMonitorFromWindow(const QWidget* window, int32_t flags);
    int32_t GetMonitorFromXYPoint(int32_t x, int32_t y, int32_t flags);
    // Centres the window on the monitor of the reference window (the primary one without);
    // always false.
    bool CenterFormOnMonitor(QWidget* window, const QWidget* reference = nullptr);
    void Refresh();

    const std::vector<clsMonitor>& Monitors() const { return m_monitors; }
    QStringList MonitorKeys() const;
    const clsMonitor* Monitor(const QString& key) const;
    bool Refreshing() const { return m_refreshing; }

    DisplayLayout Layout() const;
    // The layout of Qt's screens.
    static DisplayLayout ScreenLayout();

private:
    LayoutSource m_source;
    std::vector<clsMonitor> m_monitors;
    bool m_refreshing = false;
};

// The program's one monitor list, created by the main window at start-up; nullptr before.
extern clsMonitors* gMonitors;
