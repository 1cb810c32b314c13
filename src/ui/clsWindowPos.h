#pragma once

#include <QString>

class QWidget;

// Makes a window reopen where the user left it. Init centres the window, then restores the
// rectangle stored in the settings file (keys <id>_LEFT, _TOP, _WIDTH, _HEIGHT in twips,
// _MAXIMIZED), kept inside the desktop. Destroying the object stores the window's normal
// rectangle and whether it is maximised.
class clsWindowPos {
public:
    clsWindowPos() = default;
    ~clsWindowPos();
    clsWindowPos(const clsWindowPos&) = delete;
    clsWindowPos& operator=(const clsWindowPos&) = delete;

    void Init(QWidget* frmT, const QString& strId, QWidget* frmP = nullptr);

private:
    QWidget* m_window = nullptr;
    QString m_keyPrefix;
    QString m_section;
};
