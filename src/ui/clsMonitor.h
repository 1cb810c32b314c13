#pragma once

#include <cstdint>

class QRect;

// The rectangles of one monitor, in pixels of the virtual desktop. Right and Bottom are
// exclusive (Left + width), as the Windows monitor records have them.
class clsMonitor {
public:
    int32_t Handle = 0;  // 0 for the fallback entry of the primary screen
    int32_t Left = 0;
    int32_t Right = 0;
    int32_t Top = 0;
    int32_t Bottom = 0;
    int32_t WorkLeft = 0;  // work area: the monitor less task bars and panels
    int32_t WorkRight = 0;
    int32_t WorkTop = 0;
    int32_t WorkBottom = 0;
    int32_t Width = 0;   // Right - Left
    int32_t Height = 0;  // Bottom - Top

    // From Qt's rectangles (whose right() and bottom() are inclusive).
    static clsMonitor FromRects(int32_t handle, const QRect& monitor, const QRect& work);
};
