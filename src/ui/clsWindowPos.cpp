#include "clsWindowPos.h"

#include "clsIni.h"
#include "clsMonitors.h"

#include <QEvent>
#include <QWindowStateChangeEvent>
#include <QMargins>
#include <QWidget>

#include <memory>
#include <optional>
#include <utility>

namespace {

constexpr float SmallestStoredSize = 500;  // twips

// gMonitors when the program has made it; otherwise the screens asked directly.
struct MonitorsAtHand {
    std::unique_ptr<clsMonitors> own;
    clsMonitors* monitors = gMonitors;
    MonitorsAtHand()
    {
        if (!monitors) {
            own = std::make_unique<clsMonitors>();
            monitors = own.get();
        }
    }
    clsMonitors* operator->() const { return monitors; }
};

bool IsSizable(const QWidget* w)
{
    return w->minimumSize() != w->maximumSize();
}

int Pixels(float twips, double twipsPerPixel)
{
    return MonitorGeometry::RoundWhole(twips / twipsPerPixel);
}

}  // namespace

QMargins FrameMargins(const QWidget* w)
{
    const QRect frame = w->frameGeometry();
    const QRect client = w->geometry();
    return QMargins(client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
                    frame.bottom() - client.bottom());
}

// Before a window is first shown its frame is not known, so the stored outer size went to the
// client area. Once the window is seen framed in the normal state, take that frame off again, or
// the window would grow by its frame at every start. A window restored maximised shows its normal
// frame only when it is first un-maximised: the frame a window manager gives a maximised window
// (often no borders) is not the normal one. A size the program set since then is left alone.
// The last normal frame seen is kept, so that the normal rectangle of a maximised window can be
// stored as the outer one; before any, the normal rectangle is the outer one as it was set.
class NormalFrame : public QObject {
public:
    // outer: the outer size to give the window once its frame is known; none when it has it.
    NormalFrame(QWidget* window, std::optional<QSize> outer)
        : QObject(window)
        , m_outer(outer)
        , m_client(window->size())
    {
        if (window->isVisible() && IsNormal(window->windowState()))
            m_margins = FrameMargins(window);
        window->installEventFilter(this);
    }

    QMargins Margins() const { return m_margins; }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != parent())
            return false;
        auto* window = static_cast<QWidget*>(watched);
        // A window manager frames the window some time after it is shown, often without moving or
        // resizing it, so any event may be the first to find the frame. When the window leaves
        // the normal state, the change is reported while it still has its normal frame; right
        // after un-maximising, the frame may still be the maximised one for an event or two (the
        // client size tells those apart; the last brings the normal frame).
        const bool normal = IsNormal(window->windowState());
        const bool leavingNormal = event->type() == QEvent::WindowStateChange && !normal
            && IsNormal(static_cast<QWindowStateChangeEvent*>(event)->oldState());
        if (!window->isVisible() || !(normal || leavingNormal))
            return false;
        const QMargins frame = FrameMargins(window);
        if (frame.isNull())
            return false;
        m_margins = frame;
        if (normal && m_outer && window->size() == m_client)
            window->resize(std::exchange(m_outer, std::nullopt)->shrunkBy(frame));
        return false;
    }

private:
    static bool IsNormal(Qt::WindowStates state)
    {
        return !(state & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
    }

    std::optional<QSize> m_outer;
    QSize m_client;
    QMargins m_margins;
};

clsWindowPos::~clsWindowPos()
{
    SavePosition();
}

void clsWindowPos::Init(QWidget* frmT, const QString& strId, QWidget* frmP)
{
    m_window = frmT;
    m_section = QStringLiteral("SETUP");
    m_keyPrefix = strId + QStringLiteral("_");
    if (!m_window)
        return;
    CentreWindow(frmP);
    RestorePosition();
}

void clsWindowPos::ClampToDesktop(float& left, float& top, float& width, float& height, float presentWidth,
                                  float presentHeight, const DesktopTwips& desktop)
{
    if (width > desktop.Width)
        width = desktop.Width;
    else if (width < SmallestStoredSize)
        width = presentWidth;
    if (height > desktop.Height)
        height = desktop.Height;
    else if (height < SmallestStoredSize)
        height = presentHeight;
    if (left < desktop.Left)
        left = desktop.Left;
    if (left > desktop.Left + desktop.Width - width)
        left = desktop.Left + desktop.Width - width;
    if (top < desktop.Top)
        top = desktop.Top;
    if (top > desktop.Top + desktop.Height - height)
        top = desktop.Top + desktop.Height - height;
}

void clsWindowPos::CentreWindow(QWidget* frmP)
{
    if (gMonitors && frmP) {
        gMonitors->CenterFormOnMonitor(m_window, frmP);
        return;
    }
    const DisplayLayout layout = clsMonitors::ScreenLayout();
    const double fx = layout.twipsPerPixelX;
    const double fy = layout.twipsPerPixelY;
    const QRect outer = m_window->frameGeometry();
    const double left = (layout.screenWidthTwips - outer.width() * fx) / 2;
    const double top = (layout.screenHeightTwips - outer.height() * fy) / 2;
    m_window->move(MonitorGeometry::RoundWhole(left / fx), MonitorGeometry::RoundWhole(top / fy));
}

void clsWindowPos::RestorePosition()
{
    const MonitorsAtHand monitors;
    const double fx = monitors->TwipsPerPixelX();
    const double fy = monitors->TwipsPerPixelY();
    const QRect outer = m_window->frameGeometry();
    const float present[4] = {float(MonitorGeometry::ToTwips(outer.x(), fx)),
                              float(MonitorGeometry::ToTwips(outer.y(), fy)),
                              float(MonitorGeometry::ToTwips(outer.width(), fx)),
                              float(MonitorGeometry::ToTwips(outer.height(), fy))};
    const char* names[4] = {"LEFT", "TOP", "WIDTH", "HEIGHT"};
    float values[4];
    clsIni ini;
    for (int i = 0; i < 4; ++i) {
        const QString text = ini.GetIniStringWriteDefault(m_section, m_keyPrefix + QLatin1String(names[i]),
                                                          int(present[i]));
        // A damaged value counts as missing.
        values[i] = float(clsIni::TextToNumber(text).value_or(present[i]));
    }
    float& left = values[0];
    float& top = values[1];
    float& width = values[2];
    float& height = values[3];

    const DesktopTwips desktop{float(monitors->DesktopLeftTwips()), float(monitors->DesktopTopTwips()),
                               float(monitors->DesktopWidthTwips()), float(monitors->DesktopHeightTwips())};
    ClampToDesktop(left, top, width, height, present[2], present[3], desktop);

    m_window->move(Pixels(left, fx), Pixels(top, fy));
    if (!IsSizable(m_window)) {
        m_normalFrame = new NormalFrame(m_window, std::nullopt);
        return;
    }
    const QSize outerSize(Pixels(width, fx), Pixels(height, fy));
    m_window->resize(outerSize.shrunkBy(FrameMargins(m_window)));
    m_normalFrame = new NormalFrame(m_window, m_window->isVisible() ? std::nullopt : std::optional(outerSize));
    const QString maximized =
        ini.GetIniStringWriteDefault(m_section, m_keyPrefix + QStringLiteral("MAXIMIZED"), false);
    if (clsIni::TextToBoolean(maximized))
        m_window->setWindowState((m_window->windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
}

void clsWindowPos::SavePosition()
{
    if (!m_window)
        return;
    const MonitorsAtHand monitors;
    const double fx = monitors->TwipsPerPixelX();
    const double fy = monitors->TwipsPerPixelY();

    // The rectangle the window returns to when neither minimised nor maximised.
    const Qt::WindowStates state = m_window->windowState();
    QRect outer = m_window->frameGeometry();
    if (state & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)) {
        // Not the frame the window has now: a maximised window's frame is not its normal one.
        const QRect normal = m_window->normalGeometry();
        if (normal.isValid())
            outer = normal.marginsAdded(m_normalFrame ? m_normalFrame->Margins() : QMargins());
    }
    const bool maximized = (state & Qt::WindowMaximized) && !(state & Qt::WindowMinimized);

    clsIni ini;
    ini.SaveIniString(m_section, m_keyPrefix + QStringLiteral("LEFT"), MonitorGeometry::ToTwips(outer.x(), fx));
    ini.SaveIniString(m_section, m_keyPrefix + QStringLiteral("TOP"), MonitorGeometry::ToTwips(outer.y(), fy));
    ini.SaveIniString(m_section, m_keyPrefix + QStringLiteral("WIDTH"),
                      MonitorGeometry::ToTwips(outer.width(), fx));
    ini.SaveIniString(m_section, m_keyPrefix + QStringLiteral("HEIGHT"),
                      MonitorGeometry::ToTwips(outer.height(), fy));
    ini.SaveIniString(m_section, m_keyPrefix + QStringLiteral("MAXIMIZED"), maximized);
}
