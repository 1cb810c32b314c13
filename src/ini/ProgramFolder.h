#pragma once

#include <QString>

// The one answer to "the program's folder": everything that lies beside the program
// (settings file, "Tile Library", "Maps", help) asks here.
// An installed program (its bin/ beside a share/quiltmap) keeps its files in the per-user data
// folder $XDG_DATA_HOME/Quiltmap (else ~/.local/share/Quiltmap), whoever runs it and whether or
// not bin/ can be written; a program run where it was built keeps them in its own folder, unless
// that cannot be written. Returned without a trailing separator; the folder is created.
QString ProgramFolder();

// The rule above for one executable folder, without creating anything.
QString ChooseProgramFolder(const QString& executableFolder, const QString& perUserFolder);

// $XDG_DATA_HOME/Quiltmap, else ~/.local/share/Quiltmap.
QString PerUserFolder();

// The executable's file name without its extension ("Quiltmap").
QString ExecutableBaseName();

// The executable's own folder, whether writable or not.
QString ExecutableFolder();

// The folder of the installed program's data (share/quiltmap), found from the executable's
// folder by the install layout, so that any install prefix works.
QString InstalledDataFolder(const QString& executableFolder);

// Tests run the program in a folder of their own; an empty text goes back to the rule above.
void OverrideProgramFolder(const QString& folder);
