#pragma once

#include <QMargins>
#include <QPointer>
#include <QString>

class QWidget;
class NormalFrame;

// The frame around a top-level window as it has it now (outer rectangle less client rectangle);
// none before a window manager has framed it. A maximised window's frame may differ from its
// normal one.
QMargins FrameMargins(const QWidget* window);

// Makes a window reopen where the user left it. Init centres the window, then restores the
// rectangle stored in the settings file (keys <id>_LEFT, _TOP, _WIDTH, _HEIGHT in twips,
// _MAXIMIZED), kept inside the desktop. Destroying the object stores the window's normal
// rectangle and whether it is maximised. The rectangle is the window's outer one (frame included).
class clsWindowPos {
public:
    clsWindowPos() = default;
    ~clsWindowPos();
    clsWindowPos(const clsWindowPos&) = delete;
    clsWindowPos& operator=(const clsWindowPos&) = delete;

    // frmP: centre on that window's monitor first (else on the primary screen).
    void Init(QWidget* frmT, const QString& strId, QWidget* frmP = nullptr);

    // The desktop's bounding rectangle in twips.
    struct DesktopTwips {
        float Left = 0;
        float Top = 0;
        float Width = 0;
        float Height = 0;
    };
    // Keeps a stored rectangle (twips) on the desktop, in place: a width or height over the
    // desktop's becomes the desktop's, one under 500 twips the window's present one; then left
    // and top are pushed inside. Values equal to a bound stay.
    static void ClampToDesktop(float& left, float& top, float& width, float& height, float presentWidth,
                               float presentHeight, const DesktopTwips& desktop);

private:
    void CentreWindow(QWidget* frmP);
    void RestorePosition();
    void SavePosition();

    QPointer<QWidget> m_window;  // the window may go first; then nothing is saved
    QPointer<NormalFrame> m_normalFrame;  // the window's frame in the normal state; owned by the window
    QString m_keyPrefix;
    QString m_section;
};
