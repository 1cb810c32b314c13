#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "TileService.h"

// The time now, as the log gives it: "2026-12-06T20:30:00.123Z".
std::string LogTimestamp();

// The HTTP front of the tile service: /tile.ashx answered by the service, /health, /metrics,
// 404 for any other path, one log line per request on standard error. A few event loops, one a
// processor, answer tiles held in memory themselves and hand everything that may block (renders,
// disk reads) to a pool of threads, so a slow render never holds up other connections.
class TileHttpServer {
public:
    explicit TileHttpServer(TileService& service, bool log = true);
    ~TileHttpServer();

    // Binds; port 0 takes a free one. False with the reason.
    bool Bind(const std::string& host, int port, std::string& error);
    int Port() const { return m_port; }
    // Serves until Stop; answers in flight are finished and written first.
    void Run();
    void Stop();

    struct State;

private:
    std::unique_ptr<State> m_state;
    int m_port = 0;
};
