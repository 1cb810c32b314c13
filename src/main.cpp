#include <QApplication>

#include "ProgramIcon.h"
#include "frmQuiltmap.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quiltmap"));
    QApplication::setWindowIcon(ProgramIcon());
    // Lets the desktop match the windows to the menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("quiltmap"));
    frmQuiltmap window;
    if (!window.Load())
        return 1;
    return QApplication::exec();
}
