#include <QApplication>

#include "ProgramIcon.h"
#include "Version.h"
#include "frmQuiltmap.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quiltmap"));
    QApplication::setWindowIcon(ProgramIcon());
    // Lets the desktop match the windows to the menu entry and its icon.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(QuiltmapVersion::AppId));
    frmQuiltmap window;
    if (!window.Load())
        return 1;
    return QApplication::exec();
}
