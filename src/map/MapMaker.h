#pragma once

#include <cstdint>
#include <functional>

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>

#include "MapForm.h"
#include "MapPicture.h"
#include "MapTypes.h"
#include "Prompter.h"

// One map from a press of "&Download" to the saved file: the request, the fetch loop over the
// tile library and the tile server (through a TileFetcher, one request at a time), the
// composition and the save. Owns the window state the map work shares (Downloading,
// FetchPending, the folders, FileNameOption) and the fetch timer. Runs on the UI thread; shows
// nothing itself but through the form and the prompter.
class MapMaker : public QObject {
    Q_OBJECT
public:
    MapMaker(MapForm& form, Prompter& prompter, QObject* parent = nullptr);
    ~MapMaker() override;

    // Both end with "/".
    void SetTileLibraryFolder(const QString& folder);
    void SetMapsFolder(const QString& folder);
    QString TileLibraryFolder() const;
    QString MapsFolder() const;
    // Base URL before "/tile.ashx?".
    void SetTileServer(const QUrl& baseUrl);
    QUrl TileServer() const;
    void SetFileNameOption(int16_t option);
    int16_t FileNameOption() const;
    // Every saved map also gets its GIS files (world file, projection, ground overlay).
    void SetGisFiles(bool enabled);
    bool GisFiles() const;
    // Every finished map gets the grid squares drawn into it (and its preview) before the save.
    void SetDrawGridSquares(bool enabled);
    bool DrawGridSquares() const;
    // The fetch loop goes on as soon as a tile is done instead of on the next tick: cached tiles
    // are taken at once and the next request follows the last answer (quiltmap-make). Still one
    // request at a time.
    void SetAdvanceAtOnce(bool enabled);
    // Tiles pasted into the map since the download began.
    int TilesPasted() const;
    // Tests make hung requests short.
    void SetTransferTimeout(int milliseconds);
    // Tests set the clock that names maps.
    void SetClock(std::function<QDateTime()> now);

    // Click of cmdOk: starts a download, or cancels the running one.
    void PressOk();
    // Starts fetching a grid already worked out (PressOk does so after the request checks):
    // cursor on the top left tile, map picture sized and cleared, window set to downloading.
    void BeginDownload(const MapRequest& request, const TileGrid& grid);
    void CancelDownload();
    bool Downloading() const;
    // Main window's unload: timer off, transfer cancelled, queued events run once.
    void StopAtExit();
    // "&Clear Tile Library".
    void ClearTileLibrary();

    // Width or height list changed: map picture resized, preview redrawn.
    void SizeMapPicture();
    MapPicture& Picture();
    const MapRequest& Request() const;
    const TileGrid& Grid() const;
    // Timer1, for observers that count its ticks.
    const QTimer& FetchTimer() const;

signals:
    // A download ended: finished (after the save question) or cancelled.
    void DownloadEnded();
    // A map was saved; basePath without extension.
    void MapSaved(const QString& basePath);

private:
    struct Impl;
    Impl* d;
};

// The tile server's base URL: QUILTMAP_TILE_SERVER when set and not empty, else the settings
// value when not empty, else "http://localhost:8421". A bare host name means http://.
QUrl ResolveTileServer(const QString& settingValue, const QString& environmentValue);
