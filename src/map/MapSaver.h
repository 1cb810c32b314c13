#pragma once

#include <cstdint>
#include <functional>

#include <QDateTime>
#include <QImage>
#include <QString>

#include "Prompter.h"

struct SaveRequest {
    int16_t FileNameOption = 1;  // 0 from the description, otherwise from the date and time
    QString Description;
    QString MapsFolder;          // ends with "/"
    double WestLongitude = 0;    // BottomLeft.Longitude, degrees east positive
    double NorthLatitude = 0;    // TopRight.Latitude
    double EastLongitude = 0;    // TopRight.Longitude
    double SouthLatitude = 0;    // BottomLeft.Latitude
};

// Names, writes the ".JPG" and the ".INF", and reports. Returns the base path (without
// extension) of the saved map, or an empty text when the pair was not saved: overwrite refused,
// or a file could not be written (then a warning has said which file and why).
QString SaveMap(const QImage& map, const SaveRequest& request, Prompter& prompter,
                const std::function<QDateTime()>& now = &QDateTime::currentDateTime);

// The three-line calibration file, Windows-1252, CR LF line ends. False (and the reason in
// error) when it could not be written completely; nothing is left under its name then.
bool WriteInfFile(double westLongitude, double northLatitude, double eastLongitude,
                  double southLatitude, const QString& path, const QString& description,
                  QString* error = nullptr);

// "47.39.059N" and "122.21.074W".
void FormatLatLong(double latitude, double longitude, QString& latitudeText, QString& longitudeText);
