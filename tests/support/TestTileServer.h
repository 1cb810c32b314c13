#pragma once

#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include <QByteArray>
#include <QColor>
#include <QString>
#include <QUrl>

namespace httplib {
class Server;
}

// What the server answers for one tile.
struct TileAnswer {
    enum class Kind {
        Jpeg,     // a 200x200 JPEG in the tile's colour (TestTileServer::TileColour)
        Gif,      // a 200x200 GIF in the tile's colour
        Body,     // exactly Bytes, status 200
        Status,   // status Code with a short text body
        Dropped,  // announces 4000 bytes, sends half of them and closes the connection
        Hung,     // never answers (until released or the server stops)
    };
    Kind What = Kind::Jpeg;
    int Code = 200;
    QByteArray Bytes;

    static TileAnswer Jpeg() { return {Kind::Jpeg, 200, {}}; }
    static TileAnswer Gif() { return {Kind::Gif, 200, {}}; }
    static TileAnswer Body(QByteArray bytes) { return {Kind::Body, 200, std::move(bytes)}; }
    static TileAnswer Status(int code) { return {Kind::Status, code, {}}; }
    static TileAnswer Dropped() { return {Kind::Dropped, 200, {}}; }
    static TileAnswer Hung() { return {Kind::Hung, 0, {}}; }
};

// A real HTTP tile server on 127.0.0.1 for tests, serving GET /tile.ashx?T=..&S=..&X=..&Y=..&Z=..
// from its own thread: each tile is answered as the test chose (by default a JPEG in the tile's
// colour) and every request is recorded.
class TestTileServer {
public:
    struct Request {
        QString Path;       // "/tile.ashx"
        QString Query;      // the exact query text: "T=1&S=12&X=622&Y=5500&Z=13"
        QString UserAgent;
    };

    TestTileServer();
    ~TestTileServer();
    TestTileServer(const TestTileServer&) = delete;
    TestTileServer& operator=(const TestTileServer&) = delete;

    // Binds a free port and starts serving; false when that failed.
    bool Start();
    // Releases hung requests and stops; safe to call more than once.
    void Stop();
    // "http://127.0.0.1:<port>", the base before "/tile.ashx?".
    QUrl BaseUrl() const;

    // The answer for tile (X, Y) of any type, scale and zone; the default for all others.
    void SetAnswer(int x, int y, const TileAnswer& answer);
    void SetDefaultAnswer(const TileAnswer& answer);
    // Lets every hanging request, and every later Hung one, answer 503 at once.
    void ReleaseHung();

    std::vector<Request> Requests() const;
    std::vector<QString> Queries() const;
    int RequestCount() const;
    // Requests being answered now, hung ones included.
    int ActiveCount() const;

    // The flat colour of tile (X, Y): neighbours differ in every channel.
    static QColor TileColour(int x, int y);
    // The bytes served for a tile.
    static QByteArray JpegTile(int x, int y);
    static QByteArray GifTile(int x, int y);

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    int m_port = 0;
};
