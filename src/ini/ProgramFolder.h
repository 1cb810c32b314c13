#pragma once

#include <QString>

// The one answer to "the program's folder": everything that lies beside the program
// (settings file, "Tile Library", "Maps", help) asks here.
// It is the executable's folder; when that folder cannot be written (a copy installed
// under /usr, say) the per-user data folder $XDG_DATA_HOME/Quiltmap (else
// ~/.local/share/Quiltmap) takes its place. Returned without a trailing separator.
QString ProgramFolder();

// The executable's file name without its extension ("Quiltmap").
QString ExecutableBaseName();

// The executable's own folder, whether writable or not.
QString ExecutableFolder();

// The folder of the installed program's data (share/quiltmap), found from the executable's
// folder by the install layout, so that any install prefix works.
QString InstalledDataFolder(const QString& executableFolder);

// Tests run the program in a folder of their own; an empty text goes back to the rule above.
void OverrideProgramFolder(const QString& folder);
