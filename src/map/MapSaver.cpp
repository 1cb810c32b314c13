#include "MapSaver.h"

#include <algorithm>
#include <cmath>

#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>

#include "GisFiles.h"
#include "Windows1252.h"

namespace {

// Characters a file name cannot hold on the host's system.
const QString ForbiddenNameCharacters = QStringLiteral("\\/:*?\"<>|");

QString DateTimeName(const QDateTime& time)
{
    return time.toString(QStringLiteral("yyyy-MM-dd-hh-mm-ss"));
}

// Degrees and minutes of |value|: "ddd.mm.mmm" with degreeDigits digits before the first point.
QString DegreesMinutesText(double value, int degreeDigits)
{
    double magnitude = std::fabs(value);
    if (!std::isfinite(magnitude))
        magnitude = 0;
    magnitude = std::min(magnitude, 32767.0);
    const int degrees = int(std::floor(magnitude));
    const double minutes = (magnitude - degrees) * 60.0;
    // Minutes that round up to 60 stay 60.000: the degrees were settled before rounding.
    QString text = QString::asprintf("%0*d.%06.3f", degreeDigits, degrees, minutes);
    // The host reads a point here whatever the regional settings.
    text[text.size() - 4] = QLatin1Char('.');
    return text;
}

bool WriteJpeg(const QImage& map, const QString& path, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    QImageWriter writer(&file, "jpg");
    if (!writer.write(map)) {
        *error = writer.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

}  // namespace

SaveRequest SaveRequestFor(const TileGrid& grid, const QString& description, const QString& mapsFolder,
                           int16_t fileNameOption, bool gisFiles)
{
    SaveRequest save;
    save.FileNameOption = fileNameOption;
    save.Description = description;
    save.MapsFolder = mapsFolder;
    save.WestLongitude = grid.BottomLeft.Longitude;
    save.NorthLatitude = grid.TopRight.Latitude;
    save.EastLongitude = grid.TopRight.Longitude;
    save.SouthLatitude = grid.BottomLeft.Latitude;
    save.GisFiles = gisFiles;
    save.Grid = grid;
    return save;
}

QString NameFromDescription(const QString& description)
{
    QString name = description;
    name.removeIf([](QChar c) { return ForbiddenNameCharacters.contains(c); });
    return name;
}

bool MapExists(const QString& basePath)
{
    return QFileInfo(basePath + QStringLiteral(".JPG")).isFile() ||
           QFileInfo(basePath + QStringLiteral(".INF")).isFile();
}

QString OverwriteQuestion(const QString& name)
{
    return QStringLiteral("You already have a map called '") + name +
           QStringLiteral("'. Do you want to overwrite it?");
}

void FormatLatLong(double latitude, double longitude, QString& latitudeText, QString& longitudeText)
{
    longitudeText = DegreesMinutesText(longitude, 3) + (longitude >= 0 ? u'E' : u'W');
    latitudeText = DegreesMinutesText(latitude, 2) + (latitude >= 0 ? u'N' : u'S');
}

bool WriteInfFile(double westLongitude, double northLatitude, double eastLongitude,
                  double southLatitude, const QString& path, const QString& description,
                  QString* error)
{
    QString latitudeText;
    QString longitudeText;
    QByteArray bytes;
    FormatLatLong(northLatitude, westLongitude, latitudeText, longitudeText);
    bytes += (longitudeText + u',' + latitudeText).toLatin1() + "\r\n";
    FormatLatLong(southLatitude, eastLongitude, latitudeText, longitudeText);
    bytes += (longitudeText + u',' + latitudeText).toLatin1() + "\r\n";
    // The host reads exactly three lines: a line break inside the description would make four.
    QString title = description;
    title.replace(u'\r', u' ').replace(u'\n', u' ');
    bytes += EncodeWindows1252(title) + "\r\n";

    QString reason;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        reason = file.errorString();
        file.cancelWriting();
    } else if (!file.commit()) {
        reason = file.errorString();
    } else {
        return true;
    }
    if (error)
        *error = reason;
    return false;
}

QString SaveMap(const QImage& map, const SaveRequest& request, Prompter& prompter,
                const std::function<QDateTime()>& now)
{
    QString basePath;
    if (request.FileNameOption == 0) {
        const QString name = NameFromDescription(request.Description);
        if (!name.isEmpty()) {
            basePath = request.MapsFolder + name;
            if (MapExists(basePath) && !prompter.AskYesNo(OverwriteQuestion(name)))
                return QString();
        }
    }
    if (basePath.isEmpty()) {
        // Date names never overwrite: move on by whole seconds to the first free one.
        QDateTime time = now();
        basePath = request.MapsFolder + DateTimeName(time);
        while (MapExists(basePath)) {
            time = time.addSecs(1);
            basePath = request.MapsFolder + DateTimeName(time);
        }
    }

    const QString jpegPath = basePath + QStringLiteral(".JPG");
    const QString infPath = basePath + QStringLiteral(".INF");
    QString reason;
    if (!WriteJpeg(map, jpegPath, &reason)) {
        prompter.Warn(QStringLiteral("The map could not be saved as '") + jpegPath +
                      QStringLiteral("': ") + reason);
        return QString();
    }
    if (!WriteInfFile(request.WestLongitude, request.NorthLatitude, request.EastLongitude,
                      request.SouthLatitude, infPath, request.Description, &reason)) {
        prompter.Warn(QStringLiteral("The map picture has been saved as '") + jpegPath +
                      QStringLiteral("', but its calibration file '") + infPath +
                      QStringLiteral("' could not be written: ") + reason);
        return QString();
    }
    if (!request.GisFiles)
        RemoveGisFiles(basePath);
    else if (!WriteGisFiles(basePath, request.Grid, request.Description, &reason)) {
        prompter.Warn(QStringLiteral("The map has been saved as '") + jpegPath +
                      QStringLiteral("', but its GIS files could not be written: ") + reason);
        return basePath;
    }
    prompter.Inform(QStringLiteral("The map has been saved as '") + jpegPath +
                    QStringLiteral("'."));
    return basePath;
}
