#include "TileLibrary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

QString TileFileBaseName(const QString& folder, const TileAddress& tile)
{
    return folder + QString::fromStdString(TileFileStem(tile));
}

QString FindLibraryTile(const QString& folder, const TileAddress& tile)
{
    if (folder.isEmpty())
        return {};
    const QString base = TileFileBaseName(folder, tile);
    for (const char* extension : {".GIF", ".JPG"}) {
        const QString path = base + QLatin1String(extension);
        if (QFileInfo(path).isFile())
            return path;
    }
    return {};
}

QUrl TileUrl(const QUrl& server, const TileAddress& tile)
{
    QUrl url = server;
    QString path = url.path();
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    url.setPath(path + QStringLiteral("/tile.ashx"));
    url.setQuery(QString::fromStdString(TileQuery(tile)));
    url.setFragment(QString());
    return url;
}

QString GifNameOf(const QString& jpgPath)
{
    return jpgPath.left(jpgPath.size() - 3) + QStringLiteral("GIF");
}

StoreResult StoreTile(const QString& jpgPath, const std::function<QByteArray()>& nextChunk)
{
    StoreResult result;

    // The partial file carries a name no tile lookup ever matches; a crash leaves only that.
    QTemporaryFile partial(jpgPath + QStringLiteral(".XXXXXX.part"));
    if (!partial.open())
        return result;

    QByteArray head;
    qint64 length = 0;
    bool written = true;
    for (QByteArray chunk = nextChunk(); !chunk.isEmpty(); chunk = nextChunk()) {
        if (head.size() < 3)
            head += chunk.left(3 - head.size());
        length += chunk.size();
        if (partial.write(chunk) != chunk.size()) {
            written = false;
            break;
        }
    }
    if (!partial.flush())
        written = false;
    partial.close();
    if (partial.error() != QFileDevice::NoError)
        written = false;

    // A truncated copy would be taken for the tile for ever after: keep nothing instead.
    if (!written)
        return result;
    if (length < MinimumTileBytes) {
        result.Outcome = StoreOutcome::TooShort;
        return result;
    }

    const QString finalPath = head == "GIF" ? GifNameOf(jpgPath) : jpgPath;
    if (QFileInfo::exists(finalPath) && !QFile::remove(finalPath))
        return result;
    if (!partial.rename(finalPath))
        return result;
    partial.setAutoRemove(false);
    result.Outcome = StoreOutcome::Stored;
    result.StoredPath = finalPath;
    return result;
}

namespace {

QStringList FilesIn(const QString& folder)
{
    const QDir dir(folder);
    if (folder.isEmpty() || !dir.exists())
        return {};
    return dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

}  // namespace

bool TileLibraryHasFiles(const QString& folder)
{
    return !FilesIn(folder).isEmpty();
}

int ClearTileLibraryFolder(const QString& folder)
{
    const QDir dir(folder);
    int left = 0;
    for (const QString& name : FilesIn(folder)) {
        const QString path = dir.filePath(name);
        // A file that vanished meanwhile is gone all the same.
        if (!QFile::remove(path) && QFileInfo::exists(path))
            ++left;
    }
    return left;
}
