#include "MapSaver.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include <unistd.h>

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QLockFile>
#include <QRandomGenerator>

#include "TerminationDeferral.h"

namespace {

// Characters a file name cannot hold on the host's system.
const QString ForbiddenNameCharacters = QStringLiteral("\\/:*?\"<>|");

const QString DateTimeFormat = QStringLiteral("yyyy-MM-dd-hh-mm-ss");
constexpr int LockWaitMilliseconds = 30000;
constexpr int DotsPerMetre = 3937;   // 100 dots per inch, as the JPEG header says

QString DateTimeName(const QDateTime& time)
{
    return time.toString(DateTimeFormat);
}

// One file of a map's set, written under a temporary name until the set is complete.
struct PendingFile {
    QString Suffix;       // after the base name: ".JPG", ".INF", ...
    QByteArray Bytes;
    QString Temporary;    // path of the written temporary file; empty before
    bool Gis = false;     // one of the GIS files, which the map pair does without
};

// A name in the Maps folder that neither the host nor a GIS program takes for a map, and that a
// cleanup can recognise.
QString TemporaryName(const QString& folder)
{
    return folder + QStringLiteral(".quiltmap-%1.part")
                        .arg(QRandomGenerator::global()->generate64(), 16, 16, QChar(u'0'));
}

bool WriteTemporary(const QString& folder, PendingFile& file, QString* error)
{
    for (int attempt = 0; attempt < 8; ++attempt) {
        QFile out(TemporaryName(folder));
        if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (out.exists())
                continue;
            *error = out.errorString();
            return false;
        }
        file.Temporary = out.fileName();
        // On the disk before it gets its name, so a crash cannot leave a short file there.
        if (out.write(file.Bytes) != file.Bytes.size() || !out.flush() || ::fsync(out.handle()) != 0) {
            *error = out.errorString();
            out.close();
            QFile::remove(file.Temporary);
            file.Temporary.clear();
            return false;
        }
        return true;
    }
    *error = QStringLiteral("no free temporary name");
    return false;
}

void RemoveTemporaries(std::vector<PendingFile>& files)
{
    for (PendingFile& file : files) {
        if (!file.Temporary.isEmpty())
            QFile::remove(file.Temporary);
        file.Temporary.clear();
    }
}

// Removes the GIS files of basePath: a picture saved over another must not keep the old one's
// placement.
void RemoveGisFiles(const QString& basePath)
{
    for (const CalibrationWriter& writer : CalibrationWriters())
        if (writer.GisFile)
            QFile::remove(basePath + QLatin1String(writer.Suffix));
}

// Replaces (or makes) the file at target in one step.
bool RenameOver(const QString& from, const QString& target)
{
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(target).constData()) == 0;
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
    QString name = HostText(description);
    name.removeIf([](QChar c) { return ForbiddenNameCharacters.contains(c); });
    qsizetype start = 0;
    while (start < name.size() && (name[start] == u'.' || name[start] == u' '))
        ++start;
    return name.mid(start);
}

QString NoTileText()
{
    return QStringLiteral("No map saved: no tile could be had.");
}

QString MapsFolderProblem(const QString& folder)
{
    const QFileInfo info(folder);
    if (!info.exists())
        return QStringLiteral("The Maps folder '%1' does not exist.").arg(folder);
    if (!info.isDir())
        return QStringLiteral("The Maps folder '%1' is not a folder.").arg(folder);
    if (!info.isWritable())
        return QStringLiteral("The Maps folder '%1' cannot be written.").arg(folder);
    return QString();
}

bool MapExists(const QString& basePath)
{
    return QFileInfo(basePath + QStringLiteral(".JPG")).isFile() ||
           QFileInfo(basePath + QStringLiteral(".INF")).isFile();
}

QString OverwriteQuestion(const QString& name, int tilesMissing)
{
    QString question = QStringLiteral("You already have a map called '") + name + QStringLiteral("'. ");
    if (tilesMissing > 0)
        question += (tilesMissing == 1 ? QStringLiteral("The new map lacks 1 tile. ")
                                       : QStringLiteral("The new map lacks %1 tiles. ").arg(tilesMissing));
    return question + QStringLiteral("Do you want to overwrite it?");
}

QByteArray JpegBytes(const QImage& map, QString* error)
{
    QImage marked = map;
    marked.setDotsPerMeterX(DotsPerMetre);
    marked.setDotsPerMeterY(DotsPerMetre);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpg");
    if (map.isNull() || !writer.write(marked)) {
        *error = map.isNull() ? QStringLiteral("there is no picture") : writer.errorString();
        return QByteArray();
    }
    return bytes;
}

QString SaveMap(const QImage& map, const SaveRequest& request, Prompter& prompter,
                const std::function<QDateTime()>& now)
{
    const QString name = request.FileNameOption == 0 ? NameFromDescription(request.Description) : QString();
    const Question overwrite = request.TilesMissing > 0 ? Question::OverwriteWithTilesMissing : Question::OverwriteMap;
    bool overwriteAgreed = request.Overwrite;
    const auto askOverwrite = [&] {
        overwriteAgreed = prompter.Ask(overwrite, OverwriteQuestion(name, request.TilesMissing));
        return overwriteAgreed;
    };
    if (!name.isEmpty() && !overwriteAgreed && MapExists(request.MapsFolder + name) && !askOverwrite())
        return QString();
    QDateTime time = now();
    QString basePath = request.MapsFolder + (name.isEmpty() ? DateTimeName(time) : name);
    const auto notSaved = [&](const QString& reason) {
        prompter.Warn(QStringLiteral("The map could not be saved as '") + basePath + QStringLiteral(".JPG': ")
                      + reason);
        return QString();
    };

    // Made before anything is written.
    QString reason;
    std::vector<PendingFile> files(1);
    files[0] = {QStringLiteral(".JPG"), JpegBytes(map, &reason), {}};
    if (files[0].Bytes.isEmpty())
        return notSaved(reason);
    MapCorners corners{request.WestLongitude, request.NorthLatitude, request.EastLongitude, request.SouthLatitude,
                       request.Grid, QString(), request.Description};
    QString gisProblem;

    for (;;) {
        const TerminationDeferral deferral;
        QLockFile lock(request.MapsFolder + QStringLiteral(".quiltmap.lock"));
        // Only a dead holder's lock is taken over, however long a save takes.
        lock.setStaleLockTime(0);
        if (!QFileInfo(request.MapsFolder).isDir())
            return notSaved(QStringLiteral("the folder '%1' does not exist").arg(request.MapsFolder));
        if (!lock.tryLock(LockWaitMilliseconds))
            return notSaved(QStringLiteral("another program holds the lock file '%1'").arg(lock.fileName()));

        if (name.isEmpty()) {
            // Date names never overwrite: move on by whole seconds to the first free one.
            while (MapExists(basePath)) {
                time = time.addSecs(1);
                basePath = request.MapsFolder + DateTimeName(time);
            }
        } else if (!overwriteAgreed && MapExists(basePath)) {
            // Another saver was first: ask as if the map had been there all along.
            lock.unlock();
            if (!askOverwrite())
                return QString();
            continue;
        }

        corners.PictureName = QFileInfo(basePath).fileName() + QStringLiteral(".JPG");
        files.resize(1);
        for (const CalibrationWriter& writer : CalibrationWriters())
            if (!writer.GisFile || request.GisFiles)
                files.push_back({QLatin1String(writer.Suffix), writer.Text(corners), {}, writer.GisFile});
        gisProblem.clear();
        if (std::ranges::any_of(files, [](const PendingFile& file) { return file.Gis && file.Bytes.isEmpty(); }))
            gisProblem = QStringLiteral("the map's corners cannot be converted");
        for (const PendingFile& file : files)
            if (file.Gis && gisProblem.isEmpty() && QFileInfo(basePath + file.Suffix).isDir())
                gisProblem = QStringLiteral("'%1' is a folder").arg(basePath + file.Suffix);
        // The map pair is saved without the GIS files rather than not at all.
        if (!gisProblem.isEmpty())
            std::erase_if(files, [](const PendingFile& file) { return file.Gis; });
        for (PendingFile& file : files) {
            if (QFileInfo(basePath + file.Suffix).isDir()) {
                RemoveTemporaries(files);
                return notSaved(QStringLiteral("'%1' is a folder").arg(basePath + file.Suffix));
            }
            if (!WriteTemporary(request.MapsFolder, file, &reason)) {
                RemoveTemporaries(files);
                return notSaved(QStringLiteral("'%1' could not be written: %2").arg(basePath + file.Suffix, reason));
            }
            if (request.BetweenFiles)
                request.BetweenFiles();
        }
        // The calibration files first and the picture last: a map appears when its picture does.
        std::rotate(files.begin(), files.begin() + 1, files.end());
        if (std::ranges::none_of(files, &PendingFile::Gis))
            RemoveGisFiles(basePath);
        for (PendingFile& file : files) {
            if (!RenameOver(file.Temporary, basePath + file.Suffix)) {
                reason = QString::fromLocal8Bit(std::strerror(errno));
                RemoveTemporaries(files);
                return notSaved(QStringLiteral("'%1' could not be written: %2").arg(basePath + file.Suffix, reason));
            }
            file.Temporary.clear();
            if (request.BetweenFiles)
                request.BetweenFiles();
        }
        break;
    }

    const QString jpegPath = basePath + QStringLiteral(".JPG");
    if (!gisProblem.isEmpty()) {
        prompter.Warn(QStringLiteral("The map has been saved as '") + jpegPath +
                      QStringLiteral("', but its GIS files could not be written: ") + gisProblem);
        return basePath;
    }
    prompter.Inform(QStringLiteral("The map has been saved as '") + jpegPath + QStringLiteral("'."));
    return basePath;
}
