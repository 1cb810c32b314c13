#pragma once

#include <deque>

#include <QHash>
#include <QString>
#include <QUrl>

#include "OverviewTileSource.h"

class QNetworkAccessManager;
class QNetworkReply;

// The overview's tiles: from the tile library, else from the tile server (stored in the
// library), a few requests at once, each cut off after a time-out.
class OverviewFetcher : public OverviewTileSource {
    Q_OBJECT
public:
    // folder ends with "/"; server is the base URL before "/tile.ashx?".
    OverviewFetcher(const QString& folder, const QUrl& server, QObject* parent = nullptr);
    ~OverviewFetcher() override;

    void Want(const std::vector<TileAddress>& tiles) override;

    static constexpr int RequestsAtOnce = 4;
    static constexpr int TimeoutMilliseconds = 10000;

private:
    void StartNext();
    void Finished(QNetworkReply* reply, const TileAddress& tile);

    QString m_folder;
    QUrl m_server;
    QNetworkAccessManager* m_manager;
    std::deque<TileAddress> m_queue;
    QHash<QString, QNetworkReply*> m_running;
};
