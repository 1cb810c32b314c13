#include "clsMonitor.h"

#include <QRect>

clsMonitor clsMonitor::FromRects(int32_t handle, const QRect& monitor, const QRect& work)
{
    clsMonitor m;
    m.Handle = handle;
    m.Left = monitor.x();
    m.Top = monitor.y();
    m.Right = monitor.x() + monitor.width();
    m.Bottom = monitor.y() + monitor.height();
    m.WorkLeft = work.x();
    m.WorkTop = work.y();
    m.WorkRight = work.x() + work.width();
    m.WorkBottom = work.y() + work.height();
    m.Width = m.Right - m.Left;
    m.Height = m.Bottom - m.Top;
    return m;
}
