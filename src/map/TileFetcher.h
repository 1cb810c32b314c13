#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QString>
#include <QUrl>

#include "TileAddress.h"

// What became of one tile asked of a TileFetcher.
struct FetchedTile {
    enum class Outcome {
        Picture,         // Picture holds the tile
        Damaged,         // the library's file is no picture; it has been deleted
        TooShort,        // the answer was under MinimumTileBytes: an error text or nothing
        NotAPicture,     // the answer could not be read as a picture
        TransferFailed,  // HTTP or network error, or time-out: ErrorCode and ErrorText
        NotStarted,      // no request could be made of the server's address
    };
    TileAddress Tile;
    Outcome Result = Outcome::NotStarted;
    QImage Picture;          // Format_RGB32; null unless Outcome::Picture
    bool FromLibrary = false;
    bool Stored = false;     // the server's answer now lies in the tile library
    int ErrorCode = 0;       // HTTP status or transport error number, as Inet reports them
    QString ErrorText;
};

// Tiles in, pictures out: the tile library first, else the tile server, storing what it
// answers. Requests wait in a queue, lowest priority value first, and at most
// MaxRequests run at once. Every tile asked for and not cancelled ends in exactly one TileDone;
// nothing here ever asks or tells the user anything. Runs on the thread that owns it; a
// TileDone handler may ask for or cancel tiles, but must not delete the fetcher (deleteLater).
class TileFetcher : public QObject {
    Q_OBJECT
public:
    static constexpr int DefaultTimeoutMilliseconds = 60000;

    explicit TileFetcher(QObject* parent = nullptr);
    ~TileFetcher() override;

    // The tile library, ending with "/"; empty: nothing looked up or stored.
    void SetTileLibraryFolder(const QString& folder);
    QString TileLibraryFolder() const;
    // Base URL before "/tile.ashx?".
    void SetTileServer(const QUrl& baseUrl);
    QUrl TileServer() const;
    // Requests at once, 1 (default) to 8.
    void SetMaxRequests(int count);
    int MaxRequests() const;
    // Milliseconds one request may take before it fails (code Inet::TimeoutCode).
    void SetTimeout(int milliseconds);
    int Timeout() const;

    // Asks for a tile. One found in the tile library is reported before Fetch returns; others
    // wait their turn, lower priority values first (the distance from a view's centre, say),
    // equal ones in the order asked; requests start from the event loop, so tiles asked for
    // together are ordered as a whole. A tile already waiting takes the new priority; one already
    // running is not asked twice.
    void Fetch(const TileAddress& tile, int priority = 0);
    // Drops the tile from the queue, or stops its request; it reports nothing.
    void Cancel(const TileAddress& tile);
    // Cancels every waiting or running tile that is not in wanted.
    void KeepOnly(const std::vector<TileAddress>& wanted);
    void CancelAll();

    int Waiting() const;
    int Running() const;
    // Nothing waiting and nothing running.
    bool Idle() const;

signals:
    // Exactly once for each tile asked for and not cancelled.
    void TileDone(const FetchedTile& tile);
    // A running request's transfer moved on (Inet's states other than error and completion),
    // for a status line.
    void TransferState(const TileAddress& tile, int16_t state, const QString& remoteHost);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// True for an answer whose Cache-Control allows at most 600 seconds (max-age): a stand-in the
// server will answer better later, so it is used but not kept in the tile library.
bool IsShortLivedTile(const QByteArray& cacheControl);
