#include <cstdio>

#include <unistd.h>

#include <QGuiApplication>

#include "QuiltmapMake.h"

namespace {

void Write(std::FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

}  // namespace

int main(int argc, char* argv[])
{
    // Labels of the grid squares need fonts, which need a GUI application; it never shows a
    // window, so it needs no display either.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quiltmap"));
    MakeOutput output;
    output.Out = [](const QString& text) { Write(stdout, text); };
    output.Err = [](const QString& text) { Write(stderr, text); };
    output.ErrIsTerminal = isatty(fileno(stderr)) != 0;
    return RunQuiltmapMake(QCoreApplication::arguments().mid(1), output);
}
