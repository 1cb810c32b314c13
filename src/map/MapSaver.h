#pragma once

#include <cstdint>
#include <functional>

#include <QDateTime>
#include <QImage>
#include <QString>

#include "Calibration.h"
#include "MapTypes.h"
#include "Prompter.h"

struct SaveRequest {
    int16_t FileNameOption = 1;  // 0 from the description, otherwise from the date and time
    QString Description;
    QString MapsFolder;          // ends with "/"
    double WestLongitude = 0;    // BottomLeft.Longitude, degrees east positive
    double NorthLatitude = 0;    // TopRight.Latitude
    double EastLongitude = 0;    // TopRight.Longitude
    double SouthLatitude = 0;    // BottomLeft.Latitude
    bool GisFiles = false;       // also the calibration files for GIS programs
    TileGrid Grid;               // the map's grid, for the GIS files
    int TilesMissing = 0;        // tiles the picture lacks: the overwrite question says so
    bool Overwrite = false;      // replace a map of the same name without asking
    // Tests interrupt a save here, between the files of the set.
    std::function<void()> BetweenFiles;
};

// The save of a map made on grid: its corners from the grid's two corner points.
SaveRequest SaveRequestFor(const TileGrid& grid, const QString& description, const QString& mapsFolder,
                           int16_t fileNameOption, bool gisFiles);

// The map's file name from its description: control characters made blanks, every
// \ / : * ? " < > | removed, and dots and blanks at the start removed (a hidden file, or "."
// and "..", which are no files at all).
QString NameFromDescription(const QString& description);

// "No map saved: no tile could be had."
QString NoTileText();

// Why maps cannot be saved into folder (missing, not a folder, not writable), or empty.
QString MapsFolderProblem(const QString& folder);

// A map counts as existing when either file of its pair (".JPG", ".INF") is there.
bool MapExists(const QString& basePath);

// "You already have a map called '<name>'. Do you want to overwrite it?", and with tiles
// missing, how many the new map lacks.
QString OverwriteQuestion(const QString& name, int tilesMissing = 0);

// Names, writes the ".JPG", the ".INF" (and the GIS files when asked), and reports. The files are
// written under temporary names in the Maps folder (".quiltmap-*.part", which no program takes
// for a map) and renamed into place together once all are complete; the name check and the
// renames run under the lock file ".quiltmap.lock" there, and SIGINT and SIGTERM wait for them.
// So of two savers of one name the later replaces the whole set (with consent) or is refused as
// if the map had been there when it asked; date names move on to the next free second.
// Returns the base path (without extension) of the saved map, or an empty text when nothing was
// saved: overwrite refused, or a file could not be written (then a warning has said which file
// and why). GIS files that cannot be made are warned about; the map pair is saved.
QString SaveMap(const QImage& map, const SaveRequest& request, Prompter& prompter,
                const std::function<QDateTime()>& now = &QDateTime::currentDateTime);

// The map picture as JPEG, marked 100 dots per inch; empty (and the reason) when it cannot be.
QByteArray JpegBytes(const QImage& map, QString* error);
