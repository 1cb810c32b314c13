#include "ProgramSetup.h"

#include <filesystem>
#include <system_error>

#include <QDir>

#include "HostLink.h"
#include "ProgramFolder.h"

namespace {

QString FolderProblem(const QString& folder, const QString& reason)
{
    return QStringLiteral("Quiltmap cannot create the folder '%1': %2.\n\n"
                          "Make sure that folder can be created and written, then start "
                          "Quiltmap again.")
        .arg(QDir::toNativeSeparators(folder), reason);
}

}  // namespace

QString MakeFolder(const QString& folder)
{
    std::error_code error;
    const std::filesystem::path path = folder.toStdString();
    if (std::filesystem::is_directory(path, error))
        return QString();
    std::filesystem::create_directories(path, error);
    if (!error && std::filesystem::is_directory(path, error))
        return QString();
    return error ? QString::fromStdString(error.message())
                 : QStringLiteral("a file of that name is in the way");
}

QString SetUpProgramFolders(const QString& programFolder, const QString& winePrefix, ProgramFolders& folders)
{
    const QString tileLibrary = programFolder + QStringLiteral("/Tile Library");
    if (const QString reason = MakeFolder(tileLibrary); !reason.isEmpty())
        return FolderProblem(tileLibrary, reason);
    folders.TileLibrary = tileLibrary + u'/';

    if (FindHostFolder(winePrefix, folders.Host)) {
        folders.Maps = folders.Host + QStringLiteral("Maps/");
        return QString();
    }
    const QString maps = programFolder + QStringLiteral("/Maps");
    if (const QString reason = MakeFolder(maps); !reason.isEmpty())
        return FolderProblem(maps, reason);
    folders.Maps = maps + u'/';
    return QString();
}

QString WindowSettingsFile()
{
    return ProgramFolder() + QStringLiteral("/Quiltmap.INI");
}
