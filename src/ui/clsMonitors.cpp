#include "clsMonitors.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <limits>

clsMonitors* gMonitors = nullptr;

namespace MonitorGeometry {

int32_t RoundWhole(double value)
{
    if (!std::isfinite(value))
        return 0;
    constexpr double lowest = std::numeric_limits<int32_t>::min();
    constexpr double highest = std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(std::nearbyint(std::clamp(value, lowest, highest)));
}

int32_t ToTwips(int32_t pixels, double twipsPerPixel)
{
    return RoundWhole(pixels * twipsPerPixel);
}

namespace {

// Whole-number division of the primary screen's twips by the factor, as the fallback does.
int32_t ScreenPixels(double twips, double twipsPerPixel)
{
    const int32_t factor = RoundWhole(twipsPerPixel);
    return factor == 0 ? 0 : RoundWhole(twips) / factor;
}

QRect RectOf(const clsMonitor& m)
{
    return QRect(m.Left, m.Top, m.Right - m.Left, m.Bottom - m.Top);
}

int64_t DistanceSquared(const QRect& monitor, const QPoint& p)
{
    const int64_t dx = p.x() < monitor.left() ? monitor.left() - p.x()
                       : p.x() > monitor.right() ? p.x() - monitor.right() : 0;
    const int64_t dy = p.y() < monitor.top() ? monitor.top() - p.y()
                       : p.y() > monitor.bottom() ? p.y() - monitor.bottom() : 0;
    return dx * dx + dy * dy;
}

}  // namespace

DesktopPixels Desktop(const DisplayLayout& layout)
{
    if (!layout.multiMonitor || layout.screens.empty())
        return {0, 0, ScreenPixels(layout.screenWidthTwips, layout.twipsPerPixelX),
                ScreenPixels(layout.screenHeightTwips, layout.twipsPerPixelY)};
    QRect bounds;
    for (const clsMonitor& m : layout.screens)
        bounds = bounds.united(RectOf(m));
    return {bounds.x(), bounds.y(), bounds.width(), bounds.height()};
}

int32_t MonitorFromRect(const DisplayLayout& layout, const QRect& rect, int32_t flags)
{
    if (!layout.multiMonitor)
        return 0;
    int32_t best = 0;
    int64_t bestArea = 0;
    for (const clsMonitor& m : layout.screens) {
        const QRect common = RectOf(m).intersected(rect);
        const int64_t area = int64_t(common.width()) * common.height();
        if (area > bestArea) {
            bestArea = area;
            best = m.Handle;
        }
    }
    if (best != 0)
        return best;
    if (flags == MonitorFlags::DefaultToPrimary)
        return layout.primaryHandle;
    if (flags == MonitorFlags::DefaultToNearest) {
        int64_t nearest = std::numeric_limits<int64_t>::max();
        for (const clsMonitor& m : layout.screens) {
            const int64_t d = DistanceSquared(RectOf(m), rect.center());
            if (d < nearest) {
                nearest = d;
                best = m.Handle;
            }
        }
    }
    return best;
}

int32_t MonitorFromPoint(const DisplayLayout& layout, int32_t x, int32_t y, int32_t flags)
{
    return MonitorFromRect(layout, QRect(x, y, 1, 1), flags);
}

const clsMonitor* FindMonitor(const DisplayLayout& layout, int32_t handle)
{
    for (const clsMonitor& m : layout.screens)
        if (m.Handle == handle)
            return &m;
    return nullptr;
}

clsMonitor FallbackMonitor(const DisplayLayout& layout)
{
    clsMonitor m;
    m.Right = ScreenPixels(layout.screenWidthTwips, layout.twipsPerPixelX);
    m.Bottom = ScreenPixels(layout.screenHeightTwips, layout.twipsPerPixelY);
    m.WorkRight = m.Right;
    m.WorkBottom = m.Bottom;
    m.Width = m.Right;
    m.Height = m.Bottom;
    return m;
}

std::vector<clsMonitor> ScanMonitors(const DisplayLayout& layout, int* probes)
{
    std::vector<clsMonitor> found{FallbackMonitor(layout)};
    int count = 0;
    const DesktopPixels desk = Desktop(layout);
    // The loops run to the desktop's size, which covers the desktop when it starts left of or
    // above the origin; a desktop lying wholly right of or below it is covered to its far edge.
    const int64_t xEnd = std::max<int64_t>(desk.Width, int64_t(desk.Left) + desk.Width);
    const int64_t yEnd = std::max<int64_t>(desk.Height, int64_t(desk.Top) + desk.Height);
    for (int64_t y = desk.Top; y <= yEnd; y += ScanCellHeight) {
        for (int64_t x = desk.Left; x <= xEnd; x += ScanCellWidth) {
            ++count;
            const int32_t h = MonitorFromPoint(layout, int32_t(x + ScanCellWidth / 2),
                                               int32_t(y + ScanCellHeight / 2), MonitorFlags::DefaultToNull);
            if (h == 0)
                continue;
            const bool known = std::any_of(found.begin(), found.end(),
                                           [h](const clsMonitor& m) { return m.Handle == h; });
            if (known)
                continue;
            if (const clsMonitor* m = FindMonitor(layout, h))
                found.push_back(*m);
        }
    }
    if (probes)
        *probes = count;
    return found;
}

std::optional<QPoint> CenterFormPosition(const DisplayLayout& layout, int32_t windowWidthTwips,
                                         int32_t windowHeightTwips,
                                         const std::optional<QRect>& referenceTwips)
{
    int32_t x = 1;
    int32_t y = 1;
    if (referenceTwips) {
        const int32_t fx = RoundWhole(layout.twipsPerPixelX);
        const int32_t fy = RoundWhole(layout.twipsPerPixelY);
        if (fx == 0 || fy == 0)
            return std::nullopt;
        x = (referenceTwips->x() + referenceTwips->width() / 2) / fx;
        y = (referenceTwips->y() + referenceTwips->height() / 2) / fy;
    }
    const int32_t h = MonitorFromPoint(layout, x, y, MonitorFlags::DefaultToPrimary);
    if (h == 0) {
        // No monitor known: the middle of the primary screen.
        return QPoint(RoundWhole(layout.screenWidthTwips - windowWidthTwips) / 2,
                      RoundWhole(layout.screenHeightTwips - windowHeightTwips) / 2);
    }
    const clsMonitor* m = FindMonitor(layout, h);
    if (!m)
        return std::nullopt;
    const int32_t workWidth = RoundWhole((m->WorkRight - m->WorkLeft) * layout.twipsPerPixelX);
    const int32_t workHeight = RoundWhole((m->WorkBottom - m->WorkTop) * layout.twipsPerPixelY);
    // From the monitor's corner, not the work area's: a task bar on the top or the left moves
    // the window by its thickness off the work area's centre.
    return QPoint(RoundWhole(m->Left * layout.twipsPerPixelX + (workWidth - windowWidthTwips) / 2),
                  RoundWhole(m->Top * layout.twipsPerPixelY + (workHeight - windowHeightTwips) / 2));
}

}  // namespace MonitorGeometry

using namespace MonitorGeometry;

clsMonitors::clsMonitors(LayoutSource source)
    : m_source(std::move(source))
{
    Refresh();
}

DisplayLayout clsMonitors::ScreenLayout()
{
    DisplayLayout layout;
    const QList<QScreen*> screens = QGuiApplication::screens();
    const QScreen* primary = QGuiApplication::primaryScreen();
    layout.multiMonitor = !screens.isEmpty();
    for (qsizetype i = 0; i < screens.size(); ++i) {
        const int32_t handle = int32_t(i + 1);
        layout.screens.push_back(
            clsMonitor::FromRects(handle, screens[i]->geometry(), screens[i]->availableGeometry()));
        if (screens[i] == primary)
            layout.primaryHandle = handle;
    }
    if (primary) {
        const double dpiX = primary->logicalDotsPerInchX();
        const double dpiY = primary->logicalDotsPerInchY();
        if (dpiX > 0)
            layout.twipsPerPixelX = 1440.0 / dpiX;
        if (dpiY > 0)
            layout.twipsPerPixelY = 1440.0 / dpiY;
        layout.screenWidthTwips = primary->geometry().width() * layout.twipsPerPixelX;
        layout.screenHeightTwips = primary->geometry().height() * layout.twipsPerPixelY;
    }
    return layout;
}

DisplayLayout clsMonitors::Layout() const
{
    return m_source ? m_source() : ScreenLayout();
}

int32_t clsMonitors::DesktopLeft() const { return Desktop(Layout()).Left; }
int32_t clsMonitors::DesktopTop() const { return Desktop(Layout()).Top; }
int32_t clsMonitors::DesktopWidth() const { return Desktop(Layout()).Width; }
int32_t clsMonitors::DesktopHeight() const { return Desktop(Layout()).Height; }
double clsMonitors::TwipsPerPixelX() const { return Layout().twipsPerPixelX; }
double clsMonitors::TwipsPerPixelY() const { return Layout().twipsPerPixelY; }

int32_t clsMonitors::DesktopLeftTwips() const
{
    const DisplayLayout layout = Layout();
    return ToTwips(Desktop(layout).Left, layout.twipsPerPixelX);
}

int32_t clsMonitors::DesktopTopTwips() const
{
    const DisplayLayout layout = Layout();
    return ToTwips(Desktop(layout).Top, layout.twipsPerPixelY);
}

int32_t clsMonitors::DesktopWidthTwips() const
{
    const DisplayLayout layout = Layout();
    return ToTwips(Desktop(layout).Width, layout.twipsPerPixelX);
}

int32_t clsMonitors::DesktopHeightTwips() const
{
    const DisplayLayout layout = Layout();
    return ToTwips(Desktop(layout).Height, layout.twipsPerPixelY);
}

void clsMonitors::Refresh()
{
    m_refreshing = true;
    m_monitors = ScanMonitors(Layout());
    m_refreshing = false;
}

int32_t clsMonitors::GetMonitorFromXYPoint(int32_t x, int32_t y, int32_t flags)
{
    if (!m_refreshing)
        Refresh();
    return MonitorFromPoint(Layout(), x, y, flags);
}

int32_t clsMonitors::GetMonitorFromWindow(const QWidget* window, int32_t flags)
{
    Refresh();
    if (!window)
        return 0;
    return MonitorFromRect(Layout(), window->frameGeometry(), flags);
}

bool clsMonitors::CenterFormOnMonitor(QWidget* window, const QWidget* reference)
{
    Refresh();
    if (!window)
        return false;
    const DisplayLayout layout = Layout();
    const double fx = layout.twipsPerPixelX;
    const double fy = layout.twipsPerPixelY;
    std::optional<QRect> referenceTwips;
    if (reference) {
        const QRect r = reference->frameGeometry();
        referenceTwips = QRect(ToTwips(r.x(), fx), ToTwips(r.y(), fy), ToTwips(r.width(), fx),
                               ToTwips(r.height(), fy));
    }
    const QRect outer = window->frameGeometry();
    const std::optional<QPoint> place =
        CenterFormPosition(layout, ToTwips(outer.width(), fx), ToTwips(outer.height(), fy), referenceTwips);
    if (place && fx > 0 && fy > 0)
        window->move(RoundWhole(place->x() / fx), RoundWhole(place->y() / fy));
    return false;
}

QStringList clsMonitors::MonitorKeys() const
{
    QStringList keys;
    for (const clsMonitor& m : m_monitors)
        keys << QString::number(m.Handle);
    return keys;
}

const clsMonitor* clsMonitors::Monitor(const QString& key) const
{
    for (const clsMonitor& m : m_monitors)
        if (QString::number(m.Handle) == key)
            return &m;
    return nullptr;
}
