#include "TileHttpServer.h"

#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <thread>

#include <httplib.h>

namespace {

constexpr size_t kConnectionThreads = 256;
constexpr int kListenBacklog = 1024;

thread_local std::chrono::steady_clock::time_point tRequestStart;

}  // namespace

std::string LogTimestamp()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const int millis = int(std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    // The date and time change once a second, not once a request.
    thread_local std::time_t formatted = -1;
    thread_local char text[96];
    thread_local int length = 0;
    if (seconds != formatted) {
        std::tm utc{};
        gmtime_r(&seconds, &utc);
        length = snprintf(text, sizeof text - 5, "%04d-%02d-%02dT%02d:%02d:%02d.", utc.tm_year + 1900, utc.tm_mon + 1,
                          utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
        formatted = seconds;
    }
    const char tail[5] = {char('0' + millis / 100), char('0' + millis / 10 % 10), char('0' + millis % 10), 'Z', 0};
    return std::string(text, size_t(length)) + tail;
}

namespace {

// Control characters in a logged request are shown escaped: the log stays one line a request.
std::string Printable(const std::string& text)
{
    std::string out;
    for (unsigned char c : text.substr(0, 300)) {
        if (c < 0x20 || c == 0x7f) {
            char escaped[8];
            snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += escaped;
        } else {
            out += char(c);
        }
    }
    return out;
}

// "Sun, 06 Dec 2026 20:30:00 GMT"; the C locale's names, as HTTP wants them.
std::string HttpDate(std::time_t time)
{
    // A repeated tile carries the same date again and again.
    thread_local std::time_t formatted = -1;
    thread_local char text[64];
    if (time != formatted) {
        std::tm utc{};
        gmtime_r(&time, &utc);
        strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &utc);
        formatted = time;
    }
    return text;
}

// -1 for text that is no HTTP date.
std::time_t ReadHttpDate(const std::string& text)
{
    std::tm utc{};
    const char* end = strptime(text.c_str(), "%a, %d %b %Y %H:%M:%S GMT", &utc);
    return end && *end == 0 ? timegm(&utc) : -1;
}

// Whether an If-None-Match list ("*", or tags separated by commas) names the tag; a weak tag
// ("W/...") compares by its value.
bool TagListHas(const std::string& list, const std::string& tag)
{
    for (size_t at = 0; at <= list.size();) {
        size_t comma = list.find(',', at);
        if (comma == std::string::npos)
            comma = list.size();
        std::string item = list.substr(at, comma - at);
        item.erase(0, item.find_first_not_of(" \t"));
        item.erase(item.find_last_not_of(" \t") + 1);
        if (item.rfind("W/", 0) == 0)
            item.erase(0, 2);
        if (item == "*" || item == tag)
            return true;
        at = comma + 1;
    }
    return false;
}

}  // namespace

TileHttpServer::TileHttpServer(TileService& service, bool log) : m_service(service), m_server(std::make_unique<httplib::Server>())
{
    m_server->new_task_queue = [] { return new httplib::ThreadPool(kConnectionThreads); };
    // Our own socket options: SO_REUSEADDR only, so a second server on a port in use fails to
    // bind instead of sharing it (the library's default is SO_REUSEPORT); and the socket is kept,
    // to give it a longer queue of waiting connections after the library's listen.
    m_server->set_socket_options([this](int socket) {
        int yes = 1;
        setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        m_socket = socket;
    });
    m_server->set_tcp_nodelay(true);  // header and body go out in separate writes
    m_server->set_keep_alive_max_count(1000);
    m_server->set_keep_alive_timeout(5);
    m_server->set_read_timeout(10);
    m_server->set_write_timeout(10);
    m_server->set_payload_max_length(64 * 1024);

    m_server->set_pre_routing_handler([](const httplib::Request&, httplib::Response&) {
        tRequestStart = std::chrono::steady_clock::now();
        return httplib::Server::HandlerResponse::Unhandled;
    });
    m_server->Get("/tile.ashx", [this](const httplib::Request& request, httplib::Response& response) {
        const std::string& target = request.target;
        const size_t question = target.find('?');
        TileAnswer answer = m_service.Answer(question == std::string::npos ? std::string_view() : std::string_view(target).substr(question + 1));
        response.status = answer.Status;
        response.set_header("X-Cache", answer.CacheHit ? "hit" : "miss");
        if (answer.Status != 200) {
            response.set_header("Cache-Control", "no-store");
            if (answer.RetryAfter > 0)
                response.set_header("Retry-After", std::to_string(answer.RetryAfter));
            response.set_content(std::move(answer.Body), answer.ContentType.c_str());
            return;
        }
        response.set_header("Cache-Control", "public, max-age=" + std::to_string(answer.MaxAge));
        response.set_header("ETag", answer.ETag);
        response.set_header("Last-Modified", HttpDate(answer.LastModified));
        // If-None-Match decides when it is there; If-Modified-Since only without it.
        const std::time_t since = request.has_header("If-Modified-Since") ? ReadHttpDate(request.get_header_value("If-Modified-Since")) : -1;
        if (request.has_header("If-None-Match") ? TagListHas(request.get_header_value("If-None-Match"), answer.ETag)
                                                : since >= 0 && answer.LastModified <= since) {
            response.status = 304;
            return;
        }
        response.set_content(std::move(answer.Body), answer.ContentType.c_str());
    });
    // Neither waits for a render.
    m_server->Get("/health", [this](const httplib::Request&, httplib::Response& response) {
        const bool healthy = m_service.Healthy();
        response.status = healthy ? 200 : 503;
        response.set_header("Cache-Control", "no-store");
        if (!healthy)
            response.set_header("Retry-After", std::to_string(TileService::kRetryAfter));
        response.set_content(healthy ? "ok\n" : "Not ready: the map data is being prepared, or no source can be reached.\n",
                             "text/plain; charset=utf-8");
    });
    m_server->Get("/metrics", [this](const httplib::Request&, httplib::Response& response) {
        response.set_header("Cache-Control", "no-store");
        response.set_content(m_service.MetricsText(), "text/plain; version=0.0.4; charset=utf-8");
    });
    m_server->set_error_handler([](const httplib::Request&, httplib::Response& response) {
        if (!response.has_header("Cache-Control"))
            response.set_header("Cache-Control", "no-store");
        if (response.body.empty()) {
            const std::string text = response.status == 404 ? "Not found: this server answers /tile.ashx?T=&S=&X=&Y=&Z=, /health and /metrics.\n"
                                                            : "The request could not be served.\n";
            response.set_content(text, "text/plain; charset=utf-8");
        }
    });
    m_server->set_logger([this, log](const httplib::Request& request, const httplib::Response& response) {
        m_service.Metrics().CountRequest(response.status);
        if (!log)
            return;
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - tRequestStart).count();
        const std::string cache = response.get_header_value("X-Cache");
        char numbers[64];
        snprintf(numbers, sizeof numbers, " %d %.1f ms", response.status, ms);
        const std::string line = LogTimestamp() + " " + Printable(request.method) + " " + Printable(request.target) +
                                 numbers + (cache.empty() ? "" : " cache-" + cache) + "\n";
        fwrite(line.data(), 1, line.size(), stderr);
    });
}

TileHttpServer::~TileHttpServer()
{
    Stop();
}

bool TileHttpServer::Bind(const std::string& host, int port, std::string& error)
{
    errno = 0;
    if (port == 0) {
        m_port = m_server->bind_to_any_port(host);
    } else if (m_server->bind_to_port(host, port)) {
        m_port = port;
    } else {
        m_port = -1;
    }
    if (m_port > 0 && m_socket >= 0)
        ::listen(m_socket, kListenBacklog);  // on Linux a second listen() sets the queue's length
    if (m_port <= 0) {
        error = "cannot listen on " + host + ":" + std::to_string(port) + (errno ? std::string(": ") + strerror(errno) : std::string());
        return false;
    }
    return true;
}

void TileHttpServer::Run()
{
    m_server->listen_after_bind();
    std::lock_guard<std::mutex> lock(m_lock);
    m_socket = -1;  // closed by the library on its way out
}

void TileHttpServer::Stop()
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_stopped)
        return;
    m_stopped = true;
    // The library's stop() does nothing until its loop runs; a shut socket also ends a loop that
    // has yet to start, so a stop right after Bind is not lost.
    if (m_socket >= 0)
        ::shutdown(m_socket, SHUT_RDWR);
    m_server->stop();
}
