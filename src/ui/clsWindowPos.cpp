#include "clsWindowPos.h"

#include "clsIni.h"
#include "clsMonitors.h"

#include <QEvent>
#include <QMargins>
#include <QWidget>

#include <memory>

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

// The outer rectangle around the client rectangle (the frame as the window has it now).
QMargins FrameMargins(const QWidget* w)
{
    const QRect frame = w->frameGeometry();
    const QRect client = w->geometry();
    return QMargins(client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
                    frame.bottom() - client.bottom());
}

bool IsSizable(const QWidget* w)
{
    return w->minimumSize() != w->maximumSize();
}

int Pixels(float twips, double twipsPerPixel)
{
    return MonitorGeometry::RoundWhole(twips / twipsPerPixel);
}

// Before a window is first shown its frame is not known, so the stored outer size went to the
// client area. Once the window is shown and framed, take the frame off again, also from the normal
// rectangle of a maximised window, or the window would grow by its frame at every start.
// Without a frame (no window manager) there is nothing to take off.
// A size the program set since then is left alone.
class FrameFixer : public QObject {
public:
    FrameFixer(QWidget* window, QSize outer)
        : QObject(window)
        , m_outer(outer)
        , m_client(window->normalGeometry().size())
    {
        window->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if (watched != parent()
            || (type != QEvent::Show && type != QEvent::Move && type != QEvent::Resize))
            return false;
        auto* window = static_cast<QWidget*>(watched);
        const QMargins frame = FrameMargins(window);
        // A window manager frames the window some time after it is shown: wait for it.
        if (!window->isVisible() || frame.isNull())
            return false;
        window->removeEventFilter(this);
        if (window->normalGeometry().size() == m_client) {
            const Qt::WindowStates state = window->windowState();
            if (state & Qt::WindowMaximized)
                window->setWindowState(state & ~Qt::WindowMaximized);
            window->resize(m_outer.shrunkBy(frame));
            if (state & Qt::WindowMaximized)
                window->setWindowState(state);
        }
        deleteLater();
        return false;
    }

private:
    QSize m_outer;
    QSize m_client;
};

}  // namespace

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
    if (!IsSizable(m_window))
        return;
    const QSize outerSize(Pixels(width, fx), Pixels(height, fy));
    m_window->resize(outerSize.shrunkBy(FrameMargins(m_window)));
    if (!m_window->isVisible())
        new FrameFixer(m_window, outerSize);
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
        const QRect normal = m_window->normalGeometry();
        if (normal.isValid())
            outer = normal.marginsAdded(FrameMargins(m_window));
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
