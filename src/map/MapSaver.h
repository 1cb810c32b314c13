#pragma once

#include <cstdint>
#include <functional>

#include <QDateTime>
#include <QImage>
#include <QString>

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
    bool GisFiles = false;       // also the world file, projection and ground overlay
    TileGrid Grid;               // the map's grid, for the GIS files
};

// The save of a map made on grid: its corners from the grid's two corner points.
SaveRequest SaveRequestFor(const TileGrid& grid, const QString& description, const QString& mapsFolder,
                           int16_t fileNameOption, bool gisFiles);

// The map's file name from its description: every \ / : * ? " < > | removed.
QString NameFromDescription(const QString& description);

// A map counts as existing when either file of its pair (".JPG", ".INF") is there.
bool MapExists(const QString& basePath);

// "You already have a map called '<name>'. Do you want to overwrite it?"
QString OverwriteQuestion(const QString& name);

// Names, writes the ".JPG" and the ".INF" (and the GIS files when asked), and reports. Returns the base path (without
// extension) of the saved map, or an empty text when the pair was not saved: overwrite refused,
// or a file could not be written (then a warning has said which file and why). GIS files that
// cannot be written are warned about; the map pair stays saved.
QString SaveMap(const QImage& map, const SaveRequest& request, Prompter& prompter,
                const std::function<QDateTime()>& now = &QDateTime::currentDateTime);

// The three-line calibration file, Windows-1252, CR LF line ends. False (and the reason in
// error) when it could not be written completely; nothing is left under its name then.
bool WriteInfFile(double westLongitude, double northLatitude, double eastLongitude,
                  double southLatitude, const QString& path, const QString& description,
                  QString* error = nullptr);

// "47.39.059N" and "122.21.074W".
void FormatLatLong(double latitude, double longitude, QString& latitudeText, QString& longitudeText);
