#include "TileHttpServer.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <functional>
#include <thread>
#include <unordered_map>
#include <vector>

#include "HttpRequest.h"

namespace {

constexpr int kListenBacklog = 1024;
constexpr size_t kMaxConnections = 10000;
constexpr size_t kBlockingThreads = 256;
constexpr int64_t kKeepAliveMs = 5000, kReadMs = 10000, kWriteMs = 10000, kLingerMs = 2000;

// Milliseconds of a clock that only goes forward; coarse is plenty for time-outs.
int64_t NowMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void AppendLogTimestamp(std::string& out)
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
    out.append(text, size_t(length));
    const char tail[4] = {char('0' + millis / 100), char('0' + millis / 10 % 10), char('0' + millis % 10), 'Z'};
    out.append(tail, 4);
}

// Control characters in a logged request are shown escaped: the log stays one line a request.
void AppendPrintable(std::string& out, std::string_view text)
{
    for (unsigned char c : text.substr(0, 300)) {
        if (c < 0x20 || c == 0x7f) {
            char escaped[8];
            snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += escaped;
        } else {
            out += char(c);
        }
    }
}

// "Sun, 06 Dec 2026 20:30:00 GMT"; the C locale's names, as HTTP wants them.
const char* HttpDate(std::time_t time)
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
std::time_t ReadHttpDate(std::string_view view)
{
    const std::string text(view);
    std::tm utc{};
    const char* end = strptime(text.c_str(), "%a, %d %b %Y %H:%M:%S GMT", &utc);
    return end && *end == 0 ? timegm(&utc) : -1;
}

// Whether an If-None-Match list ("*", or tags separated by commas) names the tag; a weak tag
// ("W/...") compares by its value.
bool TagListHas(std::string_view list, std::string_view tag)
{
    for (size_t at = 0; at <= list.size();) {
        size_t comma = list.find(',', at);
        if (comma == std::string_view::npos)
            comma = list.size();
        std::string item(list.substr(at, comma - at));
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

const char* Reason(int status)
{
    switch (status) {
    case 200: return "OK";
    case 304: return "Not Modified";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 413: return "Payload Too Large";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    default: return "Unknown";
    }
}

constexpr const char* kPlainText = "text/plain; charset=utf-8";

// What an answer depends on besides the service; views into the request's bytes or a copy.
struct Asked {
    std::string_view Method, Target, IfNoneMatch, IfModifiedSince;
    bool HasIfNoneMatch = false, KeepAlive = true;
    std::chrono::steady_clock::time_point Start;
    bool Head() const { return Method == "HEAD"; }
};

// One answer: its head, and its body unless HEAD or 304 leave it out.
struct Reply {
    int Status = 200;
    int CacheHit = -1;  // X-Cache: -1 none, 0 miss, 1 hit
    std::string Head;
    std::string_view Body;
};

// The head of an answer; Content-Length is the body's even when HEAD leaves it out, none for 304.
void StartHead(Reply& reply, const Asked& asked, int status, const char* contentType, size_t length)
{
    reply.Status = status;
    reply.Head.reserve(400);
    char line[96];
    reply.Head.append(line, size_t(snprintf(line, sizeof line, "HTTP/1.1 %d %s\r\n", status, Reason(status))));
    if (status != 304) {
        reply.Head.append("Content-Type: ").append(contentType);
        reply.Head.append(line, size_t(snprintf(line, sizeof line, "\r\nContent-Length: %zu\r\n", length)));
    }
    if (!asked.KeepAlive)
        reply.Head += "Connection: close\r\n";
}

// Text answers: errors, health, metrics.
Reply TextReply(const Asked& asked, int status, std::string_view body, const char* contentType = kPlainText,
                int retryAfter = 0)
{
    Reply reply;
    StartHead(reply, asked, status, contentType, body.size());
    reply.Head += "Cache-Control: no-store\r\n";
    if (retryAfter > 0)
        reply.Head.append("Retry-After: ").append(std::to_string(retryAfter)).append("\r\n");
    reply.Head += "\r\n";
    reply.Body = asked.Head() ? std::string_view() : body;
    return reply;
}

// A tile: 200, or 304 when the request's conditions say the client has it.
Reply TileReply(const Asked& asked, const HotTiles::Tile& tile, const char* contentType, int maxAge, bool cacheHit)
{
    // If-None-Match decides when it is there; If-Modified-Since only without it.
    const std::time_t since = asked.IfModifiedSince.empty() ? -1 : ReadHttpDate(asked.IfModifiedSince);
    const bool unchanged = asked.HasIfNoneMatch ? TagListHas(asked.IfNoneMatch, tile.ETag) : since >= 0 && tile.LastModified <= since;
    Reply reply;
    StartHead(reply, asked, unchanged ? 304 : 200, contentType, tile.Body.size());
    reply.CacheHit = cacheHit;
    char line[160];
    reply.Head.append(line, size_t(snprintf(line, sizeof line, "Cache-Control: public, max-age=%d\r\nETag: ", maxAge)));
    reply.Head.append(tile.ETag).append("\r\nLast-Modified: ").append(HttpDate(tile.LastModified));
    reply.Head.append(cacheHit ? "\r\nX-Cache: hit\r\n\r\n" : "\r\nX-Cache: miss\r\n\r\n");
    reply.Body = unchanged || asked.Head() ? std::string_view() : std::string_view(tile.Body);
    return reply;
}

Reply ServiceReply(const Asked& asked, TileAnswer& answer, HotTiles::Tile& kept)
{
    if (answer.Status == 200) {
        kept = HotTiles::Tile{std::move(answer.Body), answer.ETag, answer.LastModified};
        return TileReply(asked, kept, answer.ContentType.c_str(), answer.MaxAge, answer.CacheHit);
    }
    Reply reply = TextReply(asked, answer.Status, answer.Body, answer.ContentType.c_str(), answer.RetryAfter);
    reply.CacheHit = answer.CacheHit;
    return reply;
}

void AppendLogLine(std::string& log, const Asked& asked, const Reply& reply)
{
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - asked.Start).count();
    AppendLogTimestamp(log);
    log += ' ';
    AppendPrintable(log, asked.Method);
    log += ' ';
    AppendPrintable(log, asked.Target);
    char numbers[64];
    log.append(numbers, size_t(snprintf(numbers, sizeof numbers, " %d %.1f ms", reply.Status, ms)));
    log += reply.CacheHit < 0 ? "\n" : reply.CacheHit ? " cache-hit\n" : " cache-miss\n";
}

// Writes all of it, however many writes that takes.
void WriteAll(int fd, const std::string& text)
{
    for (size_t at = 0; at < text.size();) {
        const ssize_t n = write(fd, text.data() + at, text.size() - at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        at += size_t(n);
    }
}

// Threads for the work that may block; more are started, up to a bound, while none is idle.
class BlockingPool {
public:
    void Post(std::function<void()> task)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_tasks.push_back(std::move(task));
        // Idle threads may not have woken for tasks posted before: a task no idle thread is left
        // for would wait behind work that may itself wait.
        if (m_tasks.size() > m_idle && m_threads.size() < kBlockingThreads)
            m_threads.emplace_back([this] { Work(); });
        else
            m_changed.notify_one();
    }
    // Runs what was posted, then ends the threads.
    void Finish()
    {
        std::vector<std::thread> threads;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_finishing = true;
            threads.swap(m_threads);
        }
        m_changed.notify_all();
        for (std::thread& thread : threads)
            thread.join();
    }

private:
    void Work()
    {
        std::unique_lock<std::mutex> lock(m_lock);
        for (;;) {
            ++m_idle;
            m_changed.wait(lock, [this] { return !m_tasks.empty() || m_finishing; });
            --m_idle;
            if (m_tasks.empty())
                return;
            std::function<void()> task = std::move(m_tasks.front());
            m_tasks.pop_front();
            lock.unlock();
            task();
            lock.lock();
        }
    }

    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<std::function<void()>> m_tasks;
    std::vector<std::thread> m_threads;
    size_t m_idle = 0;
    bool m_finishing = false;
};

// Bytes to send: owned, or a tile's body shared with the tiles kept in memory.
struct Chunk {
    std::string Own;
    std::shared_ptr<const HotTiles::Tile> Tile;
    size_t Sent = 0;
    std::string_view Rest() const { return std::string_view(Tile ? Tile->Body : Own).substr(Sent); }
};

struct Connection {
    int Fd = -1;
    uint64_t Id = 0;
    std::string In;
    std::deque<Chunk> Out;
    bool Pending = false;  // an answer is being made by the pool
    bool Closing = false;  // closed once what is queued is sent
    bool Lingering = false;  // answered and shut for writing; what still comes is read and dropped
    uint32_t Events = 0;   // what epoll watches for
    int64_t Since = 0;     // idle or writing since; a partial request since its first byte
};

// An answer made by the pool, for a connection of a loop.
struct Made {
    int Fd = -1;
    uint64_t Id = 0;
    std::string Bytes;
    bool Close = false;
    std::string LogLine;
};

}  // namespace

std::string LogTimestamp()
{
    std::string text;
    AppendLogTimestamp(text);
    return text;
}

struct TileHttpServer::State {
    struct Loop {
        int Epoll = -1, Wake = -1;
        std::unordered_map<int, Connection> Connections;
        std::mutex MadeLock;
        std::vector<Made> MadeQueue;
        std::vector<int> Handed;  // connections accepted by another loop, for this one
        std::string Log;  // lines of this turn, written together before waiting again
    };

    TileService& Service;
    const bool Log;
    int Listen = -1;
    int Reserve = -1;  // a spare descriptor, given up to refuse a connection when none are left
    std::vector<std::unique_ptr<Loop>> Loops;
    BlockingPool Pool;
    std::mutex Lock;
    std::atomic<bool> Stopping{false};
    std::atomic<size_t> Open{0};
    std::atomic<uint64_t> NextId{1};
    std::atomic<size_t> NextLoop{0};
    size_t MaxConnections = kMaxConnections;

    State(TileService& service, bool log) : Service(service), Log(log) {}
    ~State()
    {
        for (const auto& loop : Loops) {
            close(loop->Epoll);
            close(loop->Wake);
        }
        if (Listen >= 0)
            close(Listen);
        if (Reserve >= 0)
            close(Reserve);
    }

    void RunLoop(Loop& loop);
    void Accept(Loop& loop, int64_t now);
    void Adopt(Loop& loop, int fd, int64_t now);
    bool CloseOldestIdle(Loop& loop);
    void Read(Loop& loop, Connection& connection, int64_t now);
    void Serve(Loop& loop, Connection& connection, int64_t now);
    void Answer(Loop& loop, Connection& connection, const HttpRequest& request, std::chrono::steady_clock::time_point start);
    void Queue(Loop& loop, Connection& connection, const Asked& asked, Reply reply, std::shared_ptr<const HotTiles::Tile> tile);
    void Flush(Loop& loop, Connection& connection, int64_t now);
    void Watch(Loop& loop, Connection& connection);
    void Close(Loop& loop, int fd);
    void TakeMade(Loop& loop, int64_t now);
    void Sweep(Loop& loop, int64_t now);
};

TileHttpServer::TileHttpServer(TileService& service, bool log) : m_state(std::make_unique<State>(service, log))
{
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned i = 0; i < std::min(cores, 8u); ++i) {
        auto loop = std::make_unique<State::Loop>();
        loop->Epoll = epoll_create1(EPOLL_CLOEXEC);
        loop->Wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.fd = loop->Wake;
        epoll_ctl(loop->Epoll, EPOLL_CTL_ADD, loop->Wake, &event);
        m_state->Loops.push_back(std::move(loop));
    }
}

TileHttpServer::~TileHttpServer()
{
    Stop();
}

bool TileHttpServer::Bind(const std::string& host, int port, std::string& error)
{
    const auto fail = [&](int code) {
        error = "cannot listen on " + host + ":" + std::to_string(port) + (code ? std::string(": ") + strerror(code) : std::string());
        m_port = -1;
        return false;
    };
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 || !found)
        return fail(EINVAL);
    const int fd = socket(found->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    // SO_REUSEADDR only: a second server on a port in use fails to bind instead of sharing it.
    int yes = 1;
    const bool bound = fd >= 0 && setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) == 0 &&
                       bind(fd, found->ai_addr, found->ai_addrlen) == 0 && listen(fd, kListenBacklog) == 0;
    const int code = errno;
    freeaddrinfo(found);
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (!bound || getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (fd >= 0)
            close(fd);
        return fail(bound ? errno : code);
    }
    m_port = ntohs(address.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6&>(address).sin6_port
                                                 : reinterpret_cast<sockaddr_in&>(address).sin_port);
    std::lock_guard<std::mutex> lock(m_state->Lock);
    m_state->Listen = fd;
    return true;
}

void TileHttpServer::Run()
{
    State& state = *m_state;
    if (state.Listen < 0)
        return;
    // Room for the connections allowed, as far as the system lets this process have it.
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0) {
        files.rlim_cur = std::max(files.rlim_cur, std::min<rlim_t>(files.rlim_max, kMaxConnections + 1024));
        setrlimit(RLIMIT_NOFILE, &files);
        getrlimit(RLIMIT_NOFILE, &files);
        state.MaxConnections = std::min<size_t>(kMaxConnections, files.rlim_cur > 512 ? files.rlim_cur - 256 : files.rlim_cur / 2);
    }
    state.Reserve = open("/dev/null", O_RDONLY | O_CLOEXEC);
    for (const auto& loop : state.Loops) {
        epoll_event event{};
        event.events = EPOLLIN | EPOLLEXCLUSIVE;
        event.data.fd = state.Listen;
        epoll_ctl(loop->Epoll, EPOLL_CTL_ADD, state.Listen, &event);
    }
    std::vector<std::thread> others;
    for (size_t i = 1; i < state.Loops.size(); ++i)
        others.emplace_back([&state, i] { state.RunLoop(*state.Loops[i]); });
    state.RunLoop(*state.Loops[0]);
    for (std::thread& thread : others)
        thread.join();
    state.Pool.Finish();
    // Lines of answers whose clients went before they came back are written all the same.
    for (const auto& loop : state.Loops) {
        for (const Made& made : loop->MadeQueue)
            loop->Log += made.LogLine;
        for (int fd : loop->Handed)
            close(fd);
        WriteAll(2, loop->Log);
    }
    std::lock_guard<std::mutex> lock(state.Lock);
    close(state.Listen);
    state.Listen = -1;
}

void TileHttpServer::Stop()
{
    // Seen by a loop at its next turn, also by one that has yet to start.
    m_state->Stopping = true;
    for (const auto& loop : m_state->Loops) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(loop->Wake, &one, sizeof one);
    }
}

void TileHttpServer::State::RunLoop(Loop& loop)
{
    bool stopping = false;
    int64_t swept = NowMs();
    epoll_event events[256];
    for (;;) {
        if (!loop.Log.empty()) {
            WriteAll(2, loop.Log);
            loop.Log.clear();
        }
        if (Stopping && !stopping) {
            // No more connections; those idle go now, the others once their answers are sent.
            stopping = true;
            epoll_ctl(loop.Epoll, EPOLL_CTL_DEL, Listen, nullptr);
            std::vector<int> idle;
            for (auto& [fd, connection] : loop.Connections) {
                connection.Closing = true;
                connection.In.clear();  // requests behind one being answered are not begun
                if (!connection.Pending && connection.Out.empty())
                    idle.push_back(fd);
            }
            for (int fd : idle)
                Close(loop, fd);
        }
        if (stopping && loop.Connections.empty())
            return;
        const int count = epoll_wait(loop.Epoll, events, 256, 1000);
        const int64_t now = NowMs();
        for (int i = 0; i < count; ++i) {
            const int fd = events[i].data.fd;
            if (fd == Listen) {
                if (!stopping)
                    Accept(loop, now);
                continue;
            }
            if (fd == loop.Wake) {
                uint64_t value = 0;
                [[maybe_unused]] const ssize_t read = ::read(loop.Wake, &value, sizeof value);
                TakeMade(loop, now);
                continue;
            }
            const auto found = loop.Connections.find(fd);
            if (found == loop.Connections.end())
                continue;
            Connection& connection = found->second;
            // An error, or a client gone both ways: nothing more can be said to it.
            if (events[i].events & (EPOLLERR | EPOLLHUP)) {
                Close(loop, fd);
                continue;
            }
            if (events[i].events & EPOLLOUT) {
                Flush(loop, connection, now);
                if (!loop.Connections.count(fd))
                    continue;
            }
            if (events[i].events & EPOLLIN)
                Read(loop, connection, now);
        }
        if (now - swept >= 1000) {
            Sweep(loop, now);
            swept = now;
        }
    }
}

void TileHttpServer::State::Accept(Loop& loop, int64_t now)
{
    for (int i = 0; i < 64; ++i) {
        int fd = accept4(Listen, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0 && (errno == EMFILE || errno == ENFILE) && Reserve >= 0) {
            // Out of descriptors: take the connection with the spare one and close it at once.
            close(Reserve);
            fd = accept4(Listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0)
                close(fd);
            Reserve = open("/dev/null", O_RDONLY | O_CLOEXEC);
            return;
        }
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return;
        }
        if (Open >= MaxConnections && !CloseOldestIdle(loop)) {
            close(fd);
            continue;
        }
        int yes = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        ++Open;
        // Whichever loop woke first accepts: the connections are dealt out in turn, so that
        // a burst of them does not all land on one loop.
        Loop& owner = *Loops[NextLoop++ % Loops.size()];
        if (&owner == &loop) {
            Adopt(loop, fd, now);
            continue;
        }
        {
            std::lock_guard<std::mutex> lock(owner.MadeLock);
            owner.Handed.push_back(fd);
        }
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(owner.Wake, &one, sizeof one);
    }
}

void TileHttpServer::State::Adopt(Loop& loop, int fd, int64_t now)
{
    if (Stopping) {
        close(fd);
        --Open;
        return;
    }
    Connection& connection = loop.Connections[fd];
    connection.Fd = fd;
    connection.Id = NextId++;
    connection.Since = now;
    connection.Events = EPOLLIN;
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = fd;
    epoll_ctl(loop.Epoll, EPOLL_CTL_ADD, fd, &event);
}

bool TileHttpServer::State::CloseOldestIdle(Loop& loop)
{
    int oldest = -1;
    int64_t since = 0;
    for (const auto& [fd, connection] : loop.Connections) {
        if (!connection.Pending && connection.Out.empty() && connection.In.empty() && (oldest < 0 || connection.Since < since))
            oldest = fd, since = connection.Since;
    }
    if (oldest >= 0)
        Close(loop, oldest);
    return oldest >= 0;
}

void TileHttpServer::State::Read(Loop& loop, Connection& connection, int64_t now)
{
    char buffer[16384];
    const ssize_t n = read(connection.Fd, buffer, sizeof buffer);
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (connection.Lingering) {
        if (n <= 0)
            Close(loop, connection.Fd);
        return;
    }
    if (n <= 0) {
        // The client is done sending: what it asked for is still answered.
        connection.Closing = true;
        if (!connection.Pending && connection.Out.empty() && connection.In.empty()) {
            Close(loop, connection.Fd);
            return;
        }
    } else {
        if (connection.In.empty())
            connection.Since = now;
        connection.In.append(buffer, size_t(n));
    }
    Serve(loop, connection, now);
}

// Answers the requests read, in order, until one must wait for the pool.
void TileHttpServer::State::Serve(Loop& loop, Connection& connection, int64_t now)
{
    size_t used = 0;
    while (!connection.Pending && used < connection.In.size()) {
        HttpRequest request;
        const HttpParse parse = ParseHttpRequest(std::string_view(connection.In).substr(used), request);
        if (parse.What == HttpParse::Outcome::NeedMore)
            break;
        Asked asked;
        asked.Start = std::chrono::steady_clock::now();
        if (parse.What == HttpParse::Outcome::Error) {
            asked.KeepAlive = false;
            asked.Method = request.Method.empty() ? "-" : request.Method;
            asked.Target = request.Target.empty() ? "-" : request.Target;
            Queue(loop, connection, asked, TextReply(asked, parse.Status, "The request could not be served.\n"), nullptr);
            connection.Closing = true;
            used = connection.In.size();
            break;
        }
        Answer(loop, connection, request, asked.Start);
        used += parse.Length;
        if (!request.KeepAlive || Stopping) {
            connection.Closing = true;
            used = connection.In.size();
            break;
        }
    }
    connection.In.erase(0, used);
    if (!connection.In.empty() && used)
        connection.Since = now;  // the next request's first bytes are here already
    if (connection.Closing && !connection.Pending)
        connection.In.clear();
    Flush(loop, connection, now);
}

void TileHttpServer::State::Answer(Loop& loop, Connection& connection, const HttpRequest& request,
                                   std::chrono::steady_clock::time_point start)
{
    Asked asked;
    asked.Method = request.Method, asked.Target = request.Target, asked.KeepAlive = request.KeepAlive && !Stopping;
    asked.HasIfNoneMatch = request.HasIfNoneMatch, asked.IfNoneMatch = request.IfNoneMatch;
    asked.IfModifiedSince = request.IfModifiedSince, asked.Start = start;
    const size_t question = asked.Target.find('?');
    const std::string_view path = asked.Target.substr(0, question);
    const std::string_view query = question == std::string_view::npos ? std::string_view() : asked.Target.substr(question + 1);
    const bool known = path == "/tile.ashx" || path == "/health" || path == "/metrics";
    if (!known) {
        Queue(loop, connection, asked, TextReply(asked, 404, "Not found: this server answers /tile.ashx?T=&S=&X=&Y=&Z=, /health and /metrics.\n"), nullptr);
        return;
    }
    if (asked.Method != "GET" && !asked.Head()) {
        Reply reply = TextReply(asked, 405, "Only GET and HEAD are answered here.\n");
        reply.Head.insert(reply.Head.size() - 2, "Allow: GET, HEAD\r\n");
        Queue(loop, connection, asked, std::move(reply), nullptr);
        return;
    }
    // Neither waits for a render.
    if (path == "/health") {
        const bool healthy = Service.Healthy();
        Queue(loop, connection, asked,
              TextReply(asked, healthy ? 200 : 503, healthy ? "ok\n" : "Not ready: the map data is being prepared, or no source can be reached.\n",
                        kPlainText, healthy ? 0 : TileService::kRetryAfter),
              nullptr);
        return;
    }
    if (path == "/metrics") {
        const std::string text = Service.MetricsText();
        Queue(loop, connection, asked, TextReply(asked, 200, text, "text/plain; version=0.0.4; charset=utf-8"), nullptr);
        return;
    }
    if (HotAnswer hot = Service.TryHot(query); hot.Tile) {
        Queue(loop, connection, asked, TileReply(asked, *hot.Tile, hot.ContentType, hot.MaxAge, true), hot.Tile);
        return;
    }
    // Anything else may block: the pool answers, and the answer comes back to this loop.
    connection.Pending = true;
    Watch(loop, connection);
    struct Copy {
        std::string Method, Target, IfNoneMatch, IfModifiedSince;
    };
    auto copy = std::make_shared<Copy>(Copy{std::string(asked.Method), std::string(asked.Target), std::string(asked.IfNoneMatch),
                                            std::string(asked.IfModifiedSince)});
    Pool.Post([this, &loop, fd = connection.Fd, id = connection.Id, copy, asked]() mutable {
        asked.Method = copy->Method, asked.Target = copy->Target;
        asked.IfNoneMatch = copy->IfNoneMatch, asked.IfModifiedSince = copy->IfModifiedSince;
        const size_t at = asked.Target.find('?');
        TileAnswer answer = Service.Answer(at == std::string_view::npos ? std::string_view() : asked.Target.substr(at + 1));
        HotTiles::Tile kept;
        const Reply reply = ServiceReply(asked, answer, kept);
        Service.Metrics().CountRequest(reply.Status);
        Made made{fd, id, reply.Head, !asked.KeepAlive, {}};
        made.Bytes.append(reply.Body);
        if (Log)
            AppendLogLine(made.LogLine, asked, reply);
        {
            std::lock_guard<std::mutex> lock(loop.MadeLock);
            loop.MadeQueue.push_back(std::move(made));
        }
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(loop.Wake, &one, sizeof one);
    });
}

void TileHttpServer::State::Queue(Loop& loop, Connection& connection, const Asked& asked, Reply reply,
                                  std::shared_ptr<const HotTiles::Tile> tile)
{
    Service.Metrics().CountRequest(reply.Status);
    if (Log)
        AppendLogLine(loop.Log, asked, reply);
    const bool body = !reply.Body.empty();
    Chunk head;
    head.Own = std::move(reply.Head);
    if (body && !tile)
        head.Own.append(reply.Body);
    connection.Out.push_back(std::move(head));
    if (body && tile) {
        Chunk shared;
        shared.Tile = std::move(tile);
        connection.Out.push_back(std::move(shared));
    }
    if (!asked.KeepAlive)
        connection.Closing = true;
}

void TileHttpServer::State::TakeMade(Loop& loop, int64_t now)
{
    std::vector<Made> made;
    std::vector<int> handed;
    {
        std::lock_guard<std::mutex> lock(loop.MadeLock);
        made.swap(loop.MadeQueue);
        handed.swap(loop.Handed);
    }
    for (int fd : handed)
        Adopt(loop, fd, now);
    for (Made& answer : made) {
        loop.Log += answer.LogLine;
        const auto found = loop.Connections.find(answer.Fd);
        if (found == loop.Connections.end() || found->second.Id != answer.Id)
            continue;  // the client went meanwhile
        Connection& connection = found->second;
        connection.Pending = false;
        connection.Closing = connection.Closing || answer.Close;
        Chunk chunk;
        chunk.Own = std::move(answer.Bytes);
        connection.Out.push_back(std::move(chunk));
        Serve(loop, connection, now);
    }
}

// Sends what is queued, in one writev as far as the socket takes it.
void TileHttpServer::State::Flush(Loop& loop, Connection& connection, int64_t now)
{
    while (!connection.Out.empty()) {
        iovec parts[64];
        int count = 0;
        for (auto chunk = connection.Out.begin(); chunk != connection.Out.end() && count < 64; ++chunk, ++count) {
            const std::string_view rest = chunk->Rest();
            parts[count] = {const_cast<char*>(rest.data()), rest.size()};
        }
        ssize_t sent = writev(connection.Fd, parts, count);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && errno == EAGAIN)
            break;
        if (sent < 0) {
            Close(loop, connection.Fd);
            return;
        }
        connection.Since = now;
        while (sent > 0) {
            Chunk& first = connection.Out.front();
            const size_t left = first.Rest().size();
            if (size_t(sent) < left) {
                first.Sent += size_t(sent);
                break;
            }
            sent -= ssize_t(left);
            connection.Out.pop_front();
        }
    }
    if (connection.Out.empty() && !connection.Pending && connection.Closing) {
        // Closing with unread bytes would reset the connection, and the client could lose the
        // answer: the sending side is shut first and the rest read until the client closes.
        if (Stopping || shutdown(connection.Fd, SHUT_WR) != 0) {
            Close(loop, connection.Fd);
            return;
        }
        connection.Lingering = true;
        connection.In.clear();
        connection.Since = now;
    }
    if (connection.Out.empty() && connection.In.empty())
        connection.Since = now;
    Watch(loop, connection);
}

// Reading waits while an answer is made or sent: a client that asks without reading is not
// buffered for.
void TileHttpServer::State::Watch(Loop& loop, Connection& connection)
{
    const bool reading = connection.Lingering || (!connection.Pending && !connection.Closing && connection.Out.empty());
    const uint32_t events = (reading ? uint32_t(EPOLLIN) : 0u) | (connection.Out.empty() ? 0u : uint32_t(EPOLLOUT));
    if (events == connection.Events)
        return;
    epoll_event event{};
    event.events = events;
    event.data.fd = connection.Fd;
    epoll_ctl(loop.Epoll, EPOLL_CTL_MOD, connection.Fd, &event);
    connection.Events = events;
}

void TileHttpServer::State::Close(Loop& loop, int fd)
{
    close(fd);
    loop.Connections.erase(fd);
    --Open;
}

// Drops connections idle past the keep-alive time, stalled in a request or in taking an answer.
void TileHttpServer::State::Sweep(Loop& loop, int64_t now)
{
    std::vector<int> late;
    for (const auto& [fd, connection] : loop.Connections) {
        if (connection.Pending)
            continue;
        const int64_t limit = connection.Lingering ? kLingerMs : !connection.Out.empty() ? kWriteMs : !connection.In.empty() ? kReadMs : kKeepAliveMs;
        if (now - connection.Since > limit)
            late.push_back(fd);
    }
    for (int fd : late)
        Close(loop, fd);
}
