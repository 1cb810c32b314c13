#include "ContextIDs.h"

#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <QWidget>

#include "ProgramFolder.h"

namespace ContextIDs {

namespace {

QPointer<QWidget> gOwner;
QString gHelpFile;
QPointer<QWidget> gHelpWindow;

const QString HelpFileName = QStringLiteral("Quiltmap.html");

QWidget* MakeHelpWindow()
{
    auto* window = new QWidget(nullptr, Qt::Window);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(QStringLiteral("Quiltmap Help"));
    auto* browser = new QTextBrowser(window);
    browser->setObjectName(QStringLiteral("helpBrowser"));
    browser->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser);
    window->resize(640, 560);
    return window;
}

}  // namespace

QString FindHelpFolder(const QString& executableFolder)
{
    for (const QString& folder : {executableFolder, InstalledDataFolder(executableFolder)}) {
        if (QFileInfo(folder + QLatin1Char('/') + HelpFileName).isFile())
            return folder;
    }
    return executableFolder;
}

void InitHelp(QWidget* owner, const QString& programFolder)
{
    gOwner = owner;
    // A folder at the root already ends in its separator; blanks after it are no part of the name.
    QString folder = programFolder;
    const QString trimmed = folder.trimmed();
    if (trimmed.endsWith(QLatin1Char('/'))) {
        while (folder.endsWith(QLatin1Char(' ')) || folder.endsWith(QLatin1Char('\t')))
            folder.chop(1);
        gHelpFile = folder + HelpFileName;
    } else {
        gHelpFile = folder + QLatin1Char('/') + HelpFileName;
    }
}

QString HelpFile()
{
    return gHelpFile;
}

void ShowHelpContext(int32_t contextNumber)
{
    if (gHelpFile.isEmpty() || !QFileInfo(gHelpFile).isFile()) {
        QMessageBox::warning(gOwner, QStringLiteral("Quiltmap"),
                             QStringLiteral("The help file %1 could not be found.").arg(gHelpFile));
        return;
    }
    if (!gHelpWindow)
        gHelpWindow = MakeHelpWindow();
    auto* browser = gHelpWindow->findChild<QTextBrowser*>(QStringLiteral("helpBrowser"));
    QUrl topic = QUrl::fromLocalFile(QFileInfo(gHelpFile).absoluteFilePath());
    topic.setFragment(QStringLiteral("topic%1").arg(contextNumber));
    browser->setSource(topic);
    gHelpWindow->show();
    gHelpWindow->raise();
    gHelpWindow->activateWindow();
}

void CloseHelp()
{
    if (gHelpWindow)
        gHelpWindow->close();
    gHelpWindow = nullptr;
}

QWidget* HelpWindow()
{
    return gHelpWindow && gHelpWindow->isVisible() ? gHelpWindow.data() : nullptr;
}

}  // namespace ContextIDs
