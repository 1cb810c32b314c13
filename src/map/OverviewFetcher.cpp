#include "OverviewFetcher.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace {

QString NameOf(const TileAddress& tile)
{
    return TileFileBaseName(QString(), tile);
}

// A tile file's picture by its name's extension; null for a damaged file.
QImage ReadTile(const QString& path)
{
    QImageReader reader(path, path.endsWith(QLatin1String(".GIF")) ? "gif" : "jpg");
    reader.setAutoDetectImageFormat(false);
    QImage picture;
    if (!reader.read(&picture))
        return QImage();
    return picture.convertToFormat(QImage::Format_RGB32);
}

}  // namespace

OverviewFetcher::OverviewFetcher(const QString& folder, const QUrl& server, QObject* parent)
    : OverviewTileSource(parent), m_folder(folder), m_server(server), m_manager(new QNetworkAccessManager(this))
{
}

OverviewFetcher::~OverviewFetcher()
{
    for (QNetworkReply* reply : std::as_const(m_running)) {
        reply->disconnect(this);
        reply->abort();
    }
}

void OverviewFetcher::Want(const std::vector<TileAddress>& tiles)
{
    m_queue.clear();
    for (const TileAddress& tile : tiles)
        if (!m_running.contains(NameOf(tile)))
            m_queue.push_back(tile);
    StartNext();
}

void OverviewFetcher::StartNext()
{
    while (m_running.size() < RequestsAtOnce && !m_queue.empty()) {
        const TileAddress tile = m_queue.front();
        m_queue.pop_front();
        const QString base = TileFileBaseName(m_folder, tile);
        bool found = false;
        for (const char* extension : {".GIF", ".JPG"}) {
            const QString path = base + QLatin1String(extension);
            if (!QFileInfo(path).isFile())
                continue;
            found = true;
            const QImage picture = ReadTile(path);
            if (picture.isNull()) {
                // A damaged file would stand for the tile for ever.
                QFile::remove(path);
                found = false;
                continue;
            }
            emit TileArrived(tile, picture);
            break;
        }
        if (found)
            continue;
        QNetworkRequest request(TileUrl(m_server, tile));
        request.setTransferTimeout(TimeoutMilliseconds);
        QNetworkReply* reply = m_manager->get(request);
        m_running.insert(NameOf(tile), reply);
        connect(reply, &QNetworkReply::finished, this, [this, reply, tile] { Finished(reply, tile); });
    }
}

void OverviewFetcher::Finished(QNetworkReply* reply, const TileAddress& tile)
{
    reply->deleteLater();
    m_running.remove(NameOf(tile));
    QImage picture;
    if (reply->error() == QNetworkReply::NoError) {
        const QByteArray body = reply->readAll();
        const StoreResult stored = StoreTile(TileFileBaseName(m_folder, tile) + QStringLiteral(".JPG"),
                                             [&body, done = false]() mutable {
                                                 return std::exchange(done, true) ? QByteArray() : body;
                                             });
        if (stored.Outcome == StoreOutcome::Stored) {
            picture = ReadTile(stored.StoredPath);
            if (picture.isNull())
                QFile::remove(stored.StoredPath);
        }
    }
    if (picture.isNull())
        emit TileFailed(tile);
    else
        emit TileArrived(tile, picture);
    StartNext();
}
