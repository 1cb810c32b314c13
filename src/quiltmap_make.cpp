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

QtMessageHandler PreviousHandler = nullptr;

// The GUI application warns of a missing XDG_RUNTIME_DIR, which a program that opens no window
// uses for nothing; every other message goes on as before.
void FilterMessages(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtWarningMsg && text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    if (PreviousHandler)
        PreviousHandler(type, context, text);
    else
        Write(stderr, text + u'\n');
}

}  // namespace

int main(int argc, char* argv[])
{
    // Labels of the grid squares need fonts, which need a GUI application; it never shows a
    // window, so it needs no display either.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    PreviousHandler = qInstallMessageHandler(FilterMessages);
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quiltmap"));
    MakeOutput output;
    output.Out = [](const QString& text) { Write(stdout, text); };
    output.Err = [](const QString& text) { Write(stderr, text); };
    output.ErrIsTerminal = isatty(fileno(stderr)) != 0;
    return RunQuiltmapMake(QCoreApplication::arguments().mid(1), output);
}
