#include <QApplication>

#include "frmQuiltmap.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quiltmap"));
    frmQuiltmap window;
    if (!window.Load())
        return 1;
    return QApplication::exec();
}
