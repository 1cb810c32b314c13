#include "ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace {

QString& Override()
{
    static QString folder;
    return folder;
}

bool CanWriteIn(const QString& folder)
{
    // Asking the file system beats reading permission bits: read-only mounts and ACLs count too.
    QTemporaryFile probe(folder + QStringLiteral("/.quiltmap-write-test-XXXXXX"));
    return probe.open();
}

}  // namespace

QString PerUserFolder()
{
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir::cleanPath(base + QStringLiteral("/Quiltmap"));
}

QString ChooseProgramFolder(const QString& executableFolder, const QString& perUserFolder)
{
    // Root, or a user who installed under ~/.local, can write bin/ too: the layout decides.
    const bool installed = QFileInfo(InstalledDataFolder(executableFolder)).isDir();
    return !installed && CanWriteIn(executableFolder) ? QDir::cleanPath(executableFolder) : perUserFolder;
}

QString ExecutableFolder()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath());
}

QString ExecutableBaseName()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

QString InstalledDataFolder(const QString& executableFolder)
{
    return QDir::cleanPath(executableFolder + QStringLiteral("/" QUILTMAP_DATA_FROM_BIN));
}

QString ProgramFolder()
{
    if (!Override().isEmpty())
        return Override();
    static const QString folder = [] {
        const QString chosen = ChooseProgramFolder(ExecutableFolder(), PerUserFolder());
        QDir().mkpath(chosen);
        return chosen;
    }();
    return folder;
}

void OverrideProgramFolder(const QString& folder)
{
    Override() = folder.isEmpty() ? QString() : QDir::cleanPath(folder);
}
