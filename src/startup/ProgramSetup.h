#pragma once

#include <QString>

// What both front ends (the window and quiltmap-make) settle at start-up before any map is made.

struct ProgramFolders {
    QString TileLibrary;   // program folder + "/Tile Library/"
    QString Maps;          // the host's "Maps/" folder, or program folder + "/Maps/"
    QString Host;          // the host program's folder, ending in "/"; empty when not found
};

// Creates the "Tile Library" folder in programFolder when missing; finds the host program through
// the Wine prefix (its Maps folder is used unchanged), else creates "Maps" beside the program.
// Empty on success; otherwise the message that says which folder could not be made and why.
QString SetUpProgramFolders(const QString& programFolder, const QString& winePrefix, ProgramFolders& folders);

// Creates folder and the folders on the way; empty on success, else the reason.
QString MakeFolder(const QString& folder);

// The window's settings file, "Quiltmap.INI" in the program folder, whatever the executable
// asking is called: quiltmap-make reads the window's stored choices.
QString WindowSettingsFile();
