#pragma once

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
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
    enum class Kind { Jpeg, Body, Status, Dropped, Hung };
    Kind What = Kind::Jpeg;
    int Code = 200;
    QByteArray Bytes;
    std::string CacheControl;   // sent as Cache-Control when not empty

    // A 200x200 JPEG in the tile's colour (TestTileServer::JpegTile).
    static TileAnswer Jpeg(std::string cacheControl = {}) { return {Kind::Jpeg, 200, {}, std::move(cacheControl)}; }
    // Exactly these bytes, status 200.
    static TileAnswer Body(QByteArray bytes) { return {Kind::Body, 200, std::move(bytes), {}}; }
    static TileAnswer Status(int code) { return {Kind::Status, code, {}, {}}; }
    // Announces 4000 bytes, sends 2000 and closes the connection.
    static TileAnswer Dropped() { return {Kind::Dropped, 200, {}, {}}; }
    // No answer until the server stops.
    static TileAnswer Hung() { return {Kind::Hung, 200, {}, {}}; }
};

// A real HTTP tile server on 127.0.0.1, serving GET /tile.ashx?T=..&S=..&X=..&Y=..&Z=.. from its
// own threads as the test chose, and recording every request.
class TestTileServer {
public:
    struct Request {
        QString Query;   // the exact query text: "T=1&S=12&X=622&Y=5500&Z=13"
        QString UserAgent;
    };

    TestTileServer();
    ~TestTileServer();
    TestTileServer(const TestTileServer&) = delete;
    TestTileServer& operator=(const TestTileServer&) = delete;

    // Binds a free port and starts serving; false when that failed.
    bool Start();
    // Lets hung requests go and stops; safe to call more than once.
    void Stop();
    // "http://127.0.0.1:<port>", the base before "/tile.ashx?".
    QUrl BaseUrl() const { return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_port)); }

    // The answer for tile (X, Y) of any type, scale and zone; the default for all others.
    void SetAnswer(int x, int y, const TileAnswer& answer);
    void SetDefaultAnswer(const TileAnswer& answer);

    std::vector<Request> Requests() const;
    std::vector<QString> Queries() const;
    int RequestCount() const { return int(Requests().size()); }
    // Hung requests waiting now.
    int ActiveCount() const;

    // The flat colour of tile (X, Y): neighbours differ in every channel.
    static QColor TileColour(int x, int y);
    // Equal but for JPEG's rounding.
    static bool Near(const QColor& a, const QColor& b)
    {
        return qAbs(a.red() - b.red()) + qAbs(a.green() - b.green()) + qAbs(a.blue() - b.blue()) <= 15;
    }
    static QByteArray JpegTile(int x, int y);

private:
    mutable std::mutex m_lock;
    std::condition_variable m_stopping;
    bool m_stopped = false;
    std::map<std::pair<int, int>, TileAnswer> m_answers;
    TileAnswer m_default;
    std::vector<Request> m_requests;
    int m_hung = 0;
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    int m_port = 0;
};
