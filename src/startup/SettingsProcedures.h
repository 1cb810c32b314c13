#pragma once

#include <cstdint>

#include "MapTypes.h"
#include "clsIni.h"

// The stored choices of the main window, section "SETUP" of the settings file.

// How many items each list holds; a stored index outside a list falls back to 0.
struct ListCounts {
    int16_t Scale = 10;
    int16_t Type = 2;
    int16_t Width = 8;
    int16_t Height = 8;
};

struct StoredChoices {
    int16_t FileNameOption = 1;  // 0 from the description, 1 from the date and time
    ListChoices Lists;
};

// Reads (and writes when missing) "FILE_NAME_OPTION", "RESOLUTION", "IMAGE_TYPE", "WIDTH",
// "HEIGHT", "REF_POINT", in this order.
StoredChoices LoadSettings(clsIni& ini, const ListCounts& counts);

// Writes "RESOLUTION", "IMAGE_TYPE", "WIDTH", "HEIGHT", "REF_POINT", in this order.
void SaveSettings(clsIni& ini, const ListChoices& choices);

// The click on an item of the "&Make File Names..." submenu: stores the rule at once.
void SaveFileNameOption(clsIni& ini, int16_t option);

// "TILE_SERVER" of section "SETUP", read only; empty when missing.
QString StoredTileServer(clsIni& ini);

// "GIS_FILES" of section "SETUP": whether saved maps also get their GIS files; default false.
// Read without writing a default, so it reaches the file only when the menu item is used.
bool StoredGisFiles(clsIni& ini);
void SaveGisFilesOption(clsIni& ini, bool enabled);

// "GRID_SQUARES" of section "SETUP": whether finished maps get the grid squares; default false,
// read without writing a default.
bool StoredGridSquares(clsIni& ini);
void SaveGridSquaresOption(clsIni& ini, bool enabled);
