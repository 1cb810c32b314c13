#include "TileFetcher.h"

#include <algorithm>
#include <functional>
#include <tuple>

#include <QFile>
#include <QRegularExpression>

#include "Inet.h"
#include "MapPicture.h"
#include "TileLibrary.h"

namespace {

constexpr int ChunkBytes = 1024;
constexpr int MostRequests = 8;
constexpr int ShortLivedSeconds = 600;

}  // namespace

bool IsShortLivedTile(const QByteArray& cacheControl)
{
    static const QRegularExpression maxAge(QStringLiteral("(?:^|[,;\\s])max-age\\s*=\\s*\"?(\\d{1,12})"),
                                           QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = maxAge.match(QString::fromLatin1(cacheControl));
    return match.hasMatch() && match.captured(1).toLongLong() <= ShortLivedSeconds;
}

struct TileFetcher::Impl {
    explicit Impl(TileFetcher& owner) : q(owner) {}

    struct Waiting {
        TileAddress Tile;
        int Priority = 0;
        uint64_t Order = 0;
    };
    struct Slot {
        std::unique_ptr<Inet> Transfer;
        TileAddress Tile;
        bool Busy = false;
    };

    TileFetcher& q;
    QString LibraryFolder;
    QUrl Server;
    int MaxRequests = 1;
    int Timeout = DefaultTimeoutMilliseconds;
    std::vector<Waiting> Queue;
    std::vector<std::unique_ptr<Slot>> Slots;
    uint64_t NextOrder = 0;
    bool Starting = false;
    bool StartPosted = false;

    // True when the library answered for the tile (TileDone sent).
    bool FromLibrary(const TileAddress& tile);
    void StartWaiting();
    // StartWaiting from the event loop, so that tiles asked for together start in their order.
    void StartSoon();
    Slot& FreeSlot();
    void OnState(Slot& slot, int16_t state);
    FetchedTile Completed(Slot& slot);
    void Stop(Slot& slot);
    int Running() const;
    // Drops waiting tiles and stops running ones that match, then fills the freed room.
    void Drop(const std::function<bool(const TileAddress&)>& unwanted);
};

bool TileFetcher::Impl::FromLibrary(const TileAddress& tile)
{
    const QString path = FindLibraryTile(LibraryFolder, tile);
    if (path.isEmpty())
        return false;
    FetchedTile done;
    done.Tile = tile;
    done.FromLibrary = true;
    done.Picture = ReadTileFile(path);
    done.Result = done.Picture.isNull() ? FetchedTile::Outcome::Damaged : FetchedTile::Outcome::Picture;
    // A damaged or foreign file would be taken for the tile for ever: drop it so the next
    // download of this area fetches the tile again.
    if (done.Picture.isNull())
        QFile::remove(path);
    emit q.TileDone(done);
    return true;
}

int TileFetcher::Impl::Running() const
{
    return int(std::count_if(Slots.begin(), Slots.end(), [](const auto& slot) { return slot->Busy; }));
}

TileFetcher::Impl::Slot& TileFetcher::Impl::FreeSlot()
{
    for (auto& slot : Slots)
        if (!slot->Busy)
            return *slot;
    auto slot = std::make_unique<Slot>();
    slot->Transfer = std::make_unique<Inet>();
    slot->Transfer->SetTransferTimeout(Timeout);
    Slot* raw = slot.get();
    connect(raw->Transfer.get(), &Inet::StateChanged, &q, [this, raw](int16_t state) { OnState(*raw, state); });
    Slots.push_back(std::move(slot));
    return *raw;
}

// Starts waiting tiles while there is room. A report sent from here may ask for or cancel
// tiles; the loop then reads the queue afresh.
void TileFetcher::Impl::StartWaiting()
{
    if (Starting)
        return;
    Starting = true;
    while (!Queue.empty() && Running() < MaxRequests) {
        const auto first = std::min_element(Queue.begin(), Queue.end(), [](const Waiting& a, const Waiting& b) {
            return std::tie(a.Priority, a.Order) < std::tie(b.Priority, b.Order);
        });
        const TileAddress tile = first->Tile;
        Queue.erase(first);
        // Another fetcher (or an earlier download) may have stored it meanwhile.
        if (FromLibrary(tile))
            continue;
        Slot& slot = FreeSlot();
        if (slot.Transfer->Execute(TileUrl(Server, tile))) {
            slot.Tile = tile;
            slot.Busy = true;
            continue;
        }
        FetchedTile done;
        done.Tile = tile;
        done.Result = FetchedTile::Outcome::NotStarted;
        emit q.TileDone(done);
    }
    Starting = false;
}

void TileFetcher::Impl::StartSoon()
{
    if (StartPosted)
        return;
    StartPosted = true;
    QMetaObject::invokeMethod(
        &q,
        [this] {
            StartPosted = false;
            StartWaiting();
        },
        Qt::QueuedConnection);
}

void TileFetcher::Impl::OnState(Slot& slot, int16_t state)
{
    if (!slot.Busy)
        return;
    if (state != Inet::StateError && state != Inet::StateResponseCompleted) {
        emit q.TransferState(slot.Tile, state, slot.Transfer->RemoteHost());
        return;
    }
    FetchedTile done;
    if (state == Inet::StateError) {
        done.Tile = slot.Tile;
        done.Result = FetchedTile::Outcome::TransferFailed;
        done.ErrorCode = slot.Transfer->ResponseCode();
        done.ErrorText = slot.Transfer->ResponseInfo();
        Stop(slot);
    } else {
        done = Completed(slot);
    }
    // The slot is free before anyone hears of it, so a handler may ask for more at once.
    emit q.TileDone(done);
    StartSoon();
}

FetchedTile TileFetcher::Impl::Completed(Slot& slot)
{
    FetchedTile done;
    done.Tile = slot.Tile;
    slot.Busy = false;
    QByteArray body;
    for (QByteArray chunk = slot.Transfer->GetChunk(ChunkBytes); !chunk.isEmpty();
         chunk = slot.Transfer->GetChunk(ChunkBytes))
        body += chunk;
    if (body.size() < MinimumTileBytes) {
        done.Result = FetchedTile::Outcome::TooShort;
        return done;
    }
    // A body that is no picture (an error page sent as a success) never enters the library,
    // where it would never be checked again.
    done.Picture = DecodeTile(body);
    if (done.Picture.isNull()) {
        done.Result = FetchedTile::Outcome::NotAPicture;
        return done;
    }
    done.Result = FetchedTile::Outcome::Picture;
    if (LibraryFolder.isEmpty() || IsShortLivedTile(slot.Transfer->CacheControl()))
        return done;
    qsizetype offset = 0;
    const StoreResult stored = StoreTile(TileFileBaseName(LibraryFolder, done.Tile) + QStringLiteral(".JPG"), [&] {
        const QByteArray chunk = body.mid(offset, ChunkBytes);
        offset += chunk.size();
        return chunk;
    });
    done.Stored = stored.Outcome == StoreOutcome::Stored;
    return done;
}

void TileFetcher::Impl::Drop(const std::function<bool(const TileAddress&)>& unwanted)
{
    std::erase_if(Queue, [&](const Waiting& w) { return unwanted(w.Tile); });
    for (auto& slot : Slots)
        if (slot->Busy && unwanted(slot->Tile))
            Stop(*slot);
    StartSoon();
}

void TileFetcher::Impl::Stop(Slot& slot)
{
    slot.Transfer->Cancel();
    slot.Busy = false;
}

TileFetcher::TileFetcher(QObject* parent) : QObject(parent), d(std::make_unique<Impl>(*this)) {}

TileFetcher::~TileFetcher()
{
    // The transfers go first: their reports must not reach a half-destroyed fetcher.
    for (auto& slot : d->Slots)
        slot->Transfer->disconnect(this);
}

void TileFetcher::SetTileLibraryFolder(const QString& folder)
{
    d->LibraryFolder = folder;
}

QString TileFetcher::TileLibraryFolder() const
{
    return d->LibraryFolder;
}

void TileFetcher::SetTileServer(const QUrl& baseUrl)
{
    d->Server = baseUrl;
}

QUrl TileFetcher::TileServer() const
{
    return d->Server;
}

void TileFetcher::SetMaxRequests(int count)
{
    d->MaxRequests = std::clamp(count, 1, MostRequests);
    d->StartSoon();
}

int TileFetcher::MaxRequests() const
{
    return d->MaxRequests;
}

void TileFetcher::SetTimeout(int milliseconds)
{
    d->Timeout = std::max(1, milliseconds);
    for (auto& slot : d->Slots)
        slot->Transfer->SetTransferTimeout(d->Timeout);
}

int TileFetcher::Timeout() const
{
    return d->Timeout;
}

void TileFetcher::Fetch(const TileAddress& tile, int priority)
{
    for (const auto& slot : d->Slots)
        if (slot->Busy && slot->Tile == tile)
            return;
    const auto waiting =
        std::find_if(d->Queue.begin(), d->Queue.end(), [&](const Impl::Waiting& w) { return w.Tile == tile; });
    if (waiting != d->Queue.end()) {
        waiting->Priority = priority;
        return;
    }
    if (d->FromLibrary(tile))
        return;
    d->Queue.push_back({tile, priority, d->NextOrder++});
    d->StartSoon();
}

void TileFetcher::Cancel(const TileAddress& tile)
{
    d->Drop([&](const TileAddress& each) { return each == tile; });
}

void TileFetcher::KeepOnly(const std::vector<TileAddress>& wanted)
{
    d->Drop([&](const TileAddress& each) { return std::find(wanted.begin(), wanted.end(), each) == wanted.end(); });
}

void TileFetcher::CancelAll()
{
    d->Drop([](const TileAddress&) { return true; });
}

int TileFetcher::Waiting() const
{
    return int(d->Queue.size());
}

int TileFetcher::Running() const
{
    return d->Running();
}

bool TileFetcher::Idle() const
{
    return d->Queue.empty() && d->Running() == 0;
}
