#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "TileService.h"

namespace httplib {
class Server;
}

// The time now, as the log gives it: "2026-12-06T20:30:00.123Z".
std::string LogTimestamp();

// The HTTP front of the tile service: /tile.ashx answered by the service, 404 for any other
// path, one log line per request on standard error. Connections get threads of their own, apart
// from the service's render workers, so many slow clients do not starve each other.
class TileHttpServer {
public:
    explicit TileHttpServer(TileService& service, bool log = true);
    ~TileHttpServer();

    // Binds; port 0 takes a free one. False with the reason.
    bool Bind(const std::string& host, int port, std::string& error);
    int Port() const { return m_port; }
    // Serves until Stop.
    void Run();
    void Stop();

private:
    TileService& m_service;
    std::unique_ptr<httplib::Server> m_server;
    int m_port = 0;
    std::mutex m_lock;
    int m_socket = -1;  // the listening socket, while it is open
    bool m_stopped = false;
};
