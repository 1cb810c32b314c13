#include "MapMaker.h"

#include <exception>

#include <QCoreApplication>
#include <QDebug>
#include <QElapsedTimer>

#include "Inet.h"
#include "MapCost.h"
#include "MapRequest.h"
#include "MapSaver.h"
#include "TileAddress.h"
#include "TileFetcher.h"
#include "TileLibrary.h"

namespace {

constexpr int ErrorBoxSeconds = 5;
// Failures alike in a row after which the user is asked whether to go on.
constexpr int FailuresAlike = 3;

const QString DownloadCaption = QStringLiteral("&Download");
const QString CancelCaption = QStringLiteral("&Cancel");

// The status line's text for a transfer state; empty for the states that have none.
QString TransferStateText(int16_t state, const QString& remoteHost)
{
    switch (state) {
    case Inet::StateIdle: return QStringLiteral("Idle");
    case Inet::StateResolvingHost: return QStringLiteral("Resolving host");
    case Inet::StateResolvedHost: return QStringLiteral("Resolved host");
    case Inet::StateConnecting: return QStringLiteral("Attempting to connect to - ") + remoteHost;
    case Inet::StateConnected: return QStringLiteral("Connected");
    case Inet::StateRequestSent: return QStringLiteral("Request sent");
    case Inet::StateResponseReceived: return QStringLiteral("Received some data");
    case Inet::StateDisconnecting: return QStringLiteral("Disconnecting");
    case Inet::StateDisconnected: return QStringLiteral("Disconnected");
    default: return {};
    }
}

QString ClearFailureText(int left)
{
    if (left == 1)
        return QStringLiteral("1 tile could not be deleted from the 'Tile Library' folder. "
                              "It may be in use by another program or write-protected.");
    return QStringLiteral("%1 tiles could not be deleted from the 'Tile Library' folder. "
                          "They may be in use by another program or write-protected.")
        .arg(left);
}

// For a catch block: the log says what was being done and what went wrong, where the user
// sees only that the step was skipped.
void LogFailure(const QString& doing) noexcept
{
    try {
        QString what = QStringLiteral("an unknown failure");
        try {
            throw;
        } catch (const std::exception& failure) {
            what = QString::fromLocal8Bit(failure.what());
        } catch (...) {
        }
        qWarning().noquote() << QStringLiteral("Quiltmap: %1 failed: %2").arg(doing, what);
    } catch (...) {
    }
}

QString TileText(const TileAddress& tile)
{
    return QString::fromStdString(TileFileStem(tile));
}

}  // namespace

struct MapMaker::Impl {
    Impl(MapMaker& owner, MapForm& form, Prompter& prompter)
        : q(owner), Form(form), Ask(prompter)
    {
        Timer1.setInterval(FetchTickMilliseconds);
        Fetcher.SetTileServer(ResolveTileServer(QString(), qEnvironmentVariable("QUILTMAP_TILE_SERVER")));
    }

    MapMaker& q;
    MapForm& Form;
    Prompter& Ask;

    MapRequest Request;
    TileGrid Grid;
    MapPicture Picture;
    QTimer Timer1;
    TileFetcher Fetcher;

    bool Downloading = false;
    bool FetchPending = false;
    QString MapsFolder;
    int16_t FileNameOption = 1;
    bool GisFiles = false;
    bool GridSquares = false;
    bool AdvanceAtOnce = false;
    int TilesPasted = 0;
    std::function<QDateTime()> Now = &QDateTime::currentDateTime;
    int TilesStarted = 0;
    int TilesDone = 0;
    // The last transfer error and how many tiles in a row failed with it.
    QString LastFailure;
    int FailuresInARow = 0;
    bool AskedToGoOn = false;
    QElapsedTimer SinceBegin;
    bool InTick = false;

    void Tick();
    // With AdvanceAtOnce, a tick from the event loop as soon as it is free.
    void TickSoon();
    void FetchTile(const TileAddress& tile);
    void OnTransferState(int16_t state, const QString& remoteHost);
    void OnTileDone(const FetchedTile& tile);
    void FinishDownload();
    void Cancel();

    // A failure inside a handler skips the tile, as a failed file step does; nothing escapes
    // into the event loop. doing names the step for the log.
    template <typename Handler>
    void Guarded(const QString& doing, Handler&& handler) noexcept
    {
        try {
            handler();
        } catch (...) {
            LogFailure(doing);
            try {
                Fetcher.CancelAll();
            } catch (...) {
            }
            FetchPending = false;
        }
    }
};

// The fetch loop: leaves while a tile is in progress, otherwise takes the next tile, top row
// first and each row from west to east. Cached tiles are pasted at once, so a run of them
// costs one tick.
void MapMaker::Impl::Tick()
{
    if (InTick)
        return;
    if (!Downloading) {
        Timer1.stop();
        return;
    }
    InTick = true;
    for (;;) {
        if (!Fetcher.Idle() || FetchPending)
            break;
        ++Grid.Column;
        if (Grid.Column >= Request.TilesWide) {
            Grid.Column = 0;
            --Grid.Row;
            if (Grid.Row < 0) {
                InTick = false;
                FinishDownload();
                return;
            }
        }
        FetchTile(GridTile(Request, Grid, Grid.Column, Grid.Row));
    }
    InTick = false;
}

void MapMaker::Impl::TickSoon()
{
    if (AdvanceAtOnce && Downloading)
        QTimer::singleShot(0, &q, [this] { Guarded(QStringLiteral("fetching the next tile"), [this] { Tick(); }); });
}

void MapMaker::Impl::FetchTile(const TileAddress& tile)
{
    FetchPending = true;
    ++TilesStarted;
    const int total = int(Request.TilesWide) * int(Request.TilesHigh);
    Form.ShowTimeLeft(SecondsLeft(TilesStarted - 1, total - TilesStarted + 1, SinceBegin.elapsed()));
    // A tile in the tile library is done before this returns.
    Fetcher.Fetch(tile);
}

void MapMaker::Impl::OnTransferState(int16_t state, const QString& remoteHost)
{
    const QString text = TransferStateText(state, remoteHost);
    if (!text.isEmpty())
        Form.ShowTransferStatus(text);
    if (state == Inet::StateDisconnected) {
        FetchPending = false;
        TickSoon();
    }
}

void MapMaker::Impl::OnTileDone(const FetchedTile& tile)
{
    if (!Downloading)
        return;
    // Progress counts the tiles that are done, whatever came of them.
    const int total = int(Request.TilesWide) * int(Request.TilesHigh);
    Form.ShowProgress(QStringLiteral("tile %1 of %2").arg(++TilesDone).arg(total));
    if (tile.Result != FetchedTile::Outcome::TransferFailed)
        FailuresInARow = 0;
    switch (tile.Result) {
    case FetchedTile::Outcome::Picture: {
        const auto column = static_cast<int16_t>(tile.Tile.X - Grid.FirstTileX);
        const auto row = static_cast<int16_t>(tile.Tile.Y - Grid.FirstTileY);
        if (Picture.PasteImage(tile.Picture, column, row)) {
            ++TilesPasted;
            Form.PreviewChanged();
        }
        break;
    }
    case FetchedTile::Outcome::TransferFailed: {
        const QString message = QStringLiteral("An error occurred - ") + QString::number(tile.ErrorCode) +
                                QLatin1Char(' ') + tile.ErrorText;
        Form.ShowTransferStatus(message);
        // The loop stays put while the box is open: FetchPending is cleared after it.
        Ask.InformTimed(message, ErrorBoxSeconds);
        FailuresInARow = message == LastFailure ? FailuresInARow + 1 : 1;
        LastFailure = message;
        // A dead or refusing server fails every tile alike: ask once instead of waiting them out.
        if (FailuresInARow >= FailuresAlike && !AskedToGoOn && TilesDone < total) {
            AskedToGoOn = true;
            if (!Ask.Ask(Question::GoOnAfterFailures,
                         QStringLiteral("The last %1 tiles failed alike: %2. Do you want to go on with the other %3?")
                             .arg(FailuresInARow).arg(message).arg(total - TilesDone))) {
                FetchPending = false;
                FinishDownload();
                return;
            }
        }
        break;
    }
    default:   // skipped without a word, as an unusable answer always was
        break;
    }
    FetchPending = false;
    if (!tile.FromLibrary)
        TickSoon();
}

void MapMaker::Impl::FinishDownload()
{
    Timer1.stop();
    Downloading = false;
    Form.EnableInputs(true);
    Form.SetDownloadCaption(DownloadCaption);
    Form.ShowProgress(QString());
    const int total = int(Request.TilesWide) * int(Request.TilesHigh);
    Form.ShowTransferStatus(TilesPasted == total ? QStringLiteral("All %1 tiles done.").arg(total)
                                                 : QStringLiteral("%1 of %2 tiles done.").arg(TilesPasted).arg(total));
    if (GridSquares) {
        Picture.DrawGridSquares(MapPixelMapping(Grid));
        Form.PreviewChanged();
    }

    // A picture without a single tile is no map.
    try {
        if (TilesPasted == 0)
            Ask.Inform(NoTileText());
        else if (Ask.Ask(Question::SaveMap, QStringLiteral("Do you want to save the map?"))) {
            SaveRequest save = SaveRequestFor(Grid, Request.Description, MapsFolder, FileNameOption, GisFiles);
            save.TilesMissing = total - TilesPasted;
            const QString saved = SaveMap(Picture.Map(), save, Ask, Now);
            if (!saved.isEmpty())
                emit q.MapSaved(saved);
        }
    } catch (...) {
        // The download has ended whatever became of the save: quiltmap-make waits for the word.
        LogFailure(QStringLiteral("saving the map"));
    }
    emit q.DownloadEnded();
}

void MapMaker::Impl::Cancel()
{
    Timer1.stop();
    Fetcher.CancelAll();
    Downloading = false;
    Form.SetDownloadCaption(DownloadCaption);
    Form.EnableInputs(true);
    // The next download waits on this flag; a cancelled request never clears it itself.
    FetchPending = false;
    Form.ShowProgress(QString());
    Form.ShowTransferStatus(QStringLiteral("Download cancelled."));
}

MapMaker::MapMaker(MapForm& form, Prompter& prompter, QObject* parent)
    : QObject(parent), d(new Impl(*this, form, prompter))
{
    connect(&d->Timer1, &QTimer::timeout, this,
            [this] { d->Guarded(QStringLiteral("fetching the next tile"), [this] { d->Tick(); }); });
    connect(&d->Fetcher, &TileFetcher::TransferState, this,
            [this](const TileAddress& tile, int16_t state, const QString& remoteHost) {
                d->Guarded(QStringLiteral("following the transfer of tile ") + TileText(tile),
                           [&] { d->OnTransferState(state, remoteHost); });
            });
    connect(&d->Fetcher, &TileFetcher::TileDone, this, [this](const FetchedTile& tile) {
        d->Guarded(QStringLiteral("taking in tile ") + TileText(tile.Tile), [&] { d->OnTileDone(tile); });
    });
}

MapMaker::~MapMaker()
{
    d->Timer1.stop();
    d->Fetcher.CancelAll();
    delete d;
}

void MapMaker::SetTileLibraryFolder(const QString& folder)
{
    d->Fetcher.SetTileLibraryFolder(folder);
}

void MapMaker::SetMapsFolder(const QString& folder)
{
    d->MapsFolder = folder;
}

QString MapMaker::TileLibraryFolder() const
{
    return d->Fetcher.TileLibraryFolder();
}

QString MapMaker::MapsFolder() const
{
    return d->MapsFolder;
}

void MapMaker::SetTileServer(const QUrl& baseUrl)
{
    d->Fetcher.SetTileServer(baseUrl);
}

QUrl MapMaker::TileServer() const
{
    return d->Fetcher.TileServer();
}

void MapMaker::SetRequestGate(std::function<bool(const QUrl&)> mayRequest)
{
    d->Fetcher.SetRequestGate(std::move(mayRequest));
}

void MapMaker::SetFileNameOption(int16_t option)
{
    d->FileNameOption = option;
}

int16_t MapMaker::FileNameOption() const
{
    return d->FileNameOption;
}

void MapMaker::SetGisFiles(bool enabled)
{
    d->GisFiles = enabled;
}

bool MapMaker::GisFiles() const
{
    return d->GisFiles;
}

void MapMaker::SetDrawGridSquares(bool enabled)
{
    d->GridSquares = enabled;
}

bool MapMaker::DrawGridSquares() const
{
    return d->GridSquares;
}

void MapMaker::SetAdvanceAtOnce(bool enabled)
{
    d->AdvanceAtOnce = enabled;
}

int MapMaker::TilesPasted() const
{
    return d->TilesPasted;
}

void MapMaker::SetTransferTimeout(int milliseconds)
{
    d->Fetcher.SetTimeout(milliseconds);
}

void MapMaker::SetClock(std::function<QDateTime()> now)
{
    if (now)
        d->Now = std::move(now);
}

void MapMaker::PressOk()
{
    if (d->Downloading) {
        CancelDownload();
        return;
    }
    try {
        MapRequest request;
        TileGrid grid;
        if (!PressDownload(d->Form, d->Ask, request, grid))
            return;
        // Found out before any tile is fetched, not after all of them.
        if (const QString problem = MapsFolderProblem(d->MapsFolder); !problem.isEmpty())
            d->Ask.Warn(problem);
        else
            BeginDownload(request, grid);
    } catch (...) {
        LogFailure(QStringLiteral("starting the download"));
        CancelDownload();
    }
}

void MapMaker::BeginDownload(const MapRequest& request, const TileGrid& grid)
{
    if (d->Downloading)
        CancelDownload();
    d->Request = request;
    d->Grid = grid;
    d->Grid.Row = static_cast<int16_t>(request.TilesHigh - 1);
    d->Grid.Column = -1;
    d->TilesStarted = 0;
    d->TilesDone = 0;
    d->TilesPasted = 0;
    d->LastFailure.clear();
    d->FailuresInARow = 0;
    d->AskedToGoOn = false;
    d->SinceBegin.start();

    // Sized from the request itself, so every tile lands on its square.
    d->Picture.SizeMapPicture(request.TilesWide, request.TilesHigh);
    d->Picture.Clear();
    d->Form.PreviewChanged();
    d->Downloading = true;
    d->Form.SetDownloadCaption(CancelCaption);
    d->Form.EnableInputs(false);
    d->Timer1.start();
    d->TickSoon();
}

void MapMaker::CancelDownload()
{
    const bool wasDownloading = d->Downloading;
    d->Cancel();
    if (wasDownloading)
        emit DownloadEnded();
}

bool MapMaker::Downloading() const
{
    return d->Downloading;
}

void MapMaker::StopAtExit()
{
    d->Timer1.stop();
    d->Fetcher.CancelAll();
    QCoreApplication::processEvents();
    d->Downloading = false;
    d->FetchPending = false;
}

void MapMaker::ClearTileLibrary()
{
    const QString folder = d->Fetcher.TileLibraryFolder();
    if (!TileLibraryHasFiles(folder)) {
        d->Ask.Inform(QStringLiteral("There aren't any tiles in the 'Tile Library' folder."));
        return;
    }
    if (!d->Ask.Ask(Question::ClearTileLibrary, QStringLiteral(
            "Do you really want to delete all the tiles in the 'Tile Library' folder?")))
        return;

    d->Form.SetBusyPointer(true);
    int left = 0;
    try {
        left = ClearTileLibraryFolder(folder);
    } catch (...) {
        LogFailure(QStringLiteral("clearing the 'Tile Library' folder"));
        left = -1;
    }
    d->Form.SetBusyPointer(false);

    if (left == 0)
        d->Ask.Inform(QStringLiteral("The tiles have been deleted."));
    else if (left > 0)
        d->Ask.Warn(ClearFailureText(left));
}

void MapMaker::SizeMapPicture()
{
    const ListChoices choices = d->Form.Choices();
    const auto tiles = [](int16_t index) { return static_cast<int16_t>(qBound(1, index + 1, 8)); };
    d->Picture.SizeMapPicture(tiles(choices.WidthIndex), tiles(choices.HeightIndex));
    d->Form.PreviewChanged();
}

MapPicture& MapMaker::Picture()
{
    return d->Picture;
}

const MapRequest& MapMaker::Request() const
{
    return d->Request;
}

const TileGrid& MapMaker::Grid() const
{
    return d->Grid;
}

const QTimer& MapMaker::FetchTimer() const
{
    return d->Timer1;
}

QUrl ResolveTileServer(const QString& settingValue, const QString& environmentValue)
{
    QString value = environmentValue.trimmed();
    if (value.isEmpty())
        value = settingValue.trimmed();
    if (value.isEmpty())
        value = QStringLiteral("http://localhost:8421");
    // "localhost:8421" would otherwise read as a URL of scheme "localhost".
    if (!value.contains(QStringLiteral("://")))
        value.prepend(QStringLiteral("http://"));
    return QUrl(value, QUrl::TolerantMode);
}
