#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>

#include <QTemporaryDir>

#include "HttpRequest.h"
#include "TileServerTesting.h"

namespace {

using Outcome = HttpParse::Outcome;

TEST(HttpFront, ParsesRequestsAndRefusesHostileOnes)
{
    const std::string get = "GET /tile.ashx?T=1 HTTP/1.1\r\nHost: a\r\nIf-None-Match: \"x\"\r\n\r\n";
    const struct { const char* Name; std::string Bytes; Outcome What; size_t LengthOrStatus; bool KeepAlive; } cases[] = {
        {"plain", get, Outcome::Complete, get.size(), true},
        {"pipelined pair", get + get, Outcome::Complete, get.size(), true},
        {"no Host, LF alone", "HEAD / HTTP/1.1\n\n", Outcome::Complete, 17, true},
        {"empty line first", "\r\nGET / HTTP/1.1\r\n\r\n", Outcome::Complete, 20, true},
        {"HTTP/1.0 closes", "GET / HTTP/1.0\r\n\r\n", Outcome::Complete, 18, false},
        {"close", "GET / HTTP/1.1\r\nconnection: foo, close\r\n\r\n", Outcome::Complete, 42, false},
        {"body ignored", "GET / HTTP/1.1\r\nContent-Length: 3\r\n\r\nabcGET", Outcome::Complete, 40, true},
        {"body to come", "GET / HTTP/1.1\r\nContent-Length: 3\r\n\r\nab", Outcome::NeedMore, 0, true},
        {"body too large", "GET / HTTP/1.1\r\nContent-Length: 99999999999999999999\r\n\r\n", Outcome::Error, 413, true},
        {"two lengths", "GET / HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\nab", Outcome::Error, 400, true},
        {"chunked", "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n", Outcome::Error, 400, true},
        {"head too large", "GET /" + std::string(9000, 'a'), Outcome::Error, 431, true},
        {"control in value", "GET / HTTP/1.1\r\nX: a\x01\r\n\r\n", Outcome::Error, 400, true},
        {"folded header", "GET / HTTP/1.1\r\nX: a\r\n b\r\n\r\n", Outcome::Error, 400, true},
        {"no version", "GET /\r\n\r\n", Outcome::Error, 400, true},
        {"TLS greeting", "\x16\x03\x01\x02", Outcome::Error, 400, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        HttpRequest request;
        const HttpParse parse = ParseHttpRequest(c.Bytes, request);
        ASSERT_EQ(parse.What, c.What);
        EXPECT_EQ(c.What == Outcome::Error ? size_t(parse.Status) : parse.Length, c.LengthOrStatus);
        EXPECT_TRUE(c.What != Outcome::Complete || request.KeepAlive == c.KeepAlive);
    }
    // Split anywhere, a request is waited for until it is whole.
    HttpRequest request;
    for (size_t cut = 0; cut < get.size(); ++cut)
        ASSERT_EQ(ParseHttpRequest(get.substr(0, cut), request).What, Outcome::NeedMore) << cut;
    ASSERT_EQ(ParseHttpRequest(get, request).What, Outcome::Complete);
    EXPECT_EQ(std::tie(request.Method, request.Target, request.HasIfNoneMatch, request.IfNoneMatch),
              std::tuple("GET", "/tile.ashx?T=1", true, "\"x\""));
}

int Connect(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(uint16_t(port));
    EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    return fd;
}

// Sends the bytes, then reads until the server closes; with `halfClose` the client says it is
// done sending first.
std::string Exchange(int port, const std::string& bytes, bool halfClose = true)
{
    const int fd = Connect(port);
    EXPECT_EQ(send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), ssize_t(bytes.size()));
    if (halfClose)
        shutdown(fd, SHUT_WR);
    std::string text;
    char buffer[65536];
    for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;)
        text.append(buffer, size_t(n));
    close(fd);
    return text;
}

std::vector<std::string> StatusLines(const std::string& text)
{
    std::vector<std::string> lines;
    for (size_t at = text.find("HTTP/1.1 "); at != std::string::npos; at = text.find("HTTP/1.1 ", at + 1))
        lines.push_back(text.substr(at + 9, 3));
    return lines;
}

TEST(HttpFront, PipelinedAnswersComeInOrderAndBadRequestsClose)
{
    QTemporaryDir cache;
    RunningTileServer server(cache.path().toStdString());
    // A client that sends half a request and stalls holds nobody up.
    const int stalled = Connect(server.Port());
    ASSERT_EQ(send(stalled, "GET /health HTTP/1.1\r\nHo", 24, MSG_NOSIGNAL), 24);

    // A render (made by the pool), then answers of the loop, the last one closing.
    const std::string tile = "GET /tile.ashx?T=1&S=14&X=171&Y=1647&Z=10 HTTP/1.1\r\n\r\n";
    const std::string text = Exchange(server.Port(), tile + "GET /health HTTP/1.1\r\n\r\nHEAD /x HTTP/1.1\r\n\r\n" + tile +
                                                         "POST /metrics HTTP/1.1\r\nContent-Length: 2\r\nConnection: close\r\n\r\nab" + tile, false);
    EXPECT_EQ(StatusLines(text), (std::vector<std::string>{"200", "200", "404", "200", "405"})) << text;
    EXPECT_LT(text.find("X-Cache: miss"), text.find("\r\n\r\nok\n"));  // the render's answer first
    EXPECT_TRUE(text.find("X-Cache: hit") != std::string::npos && text.find("Connection: close\r\n") != std::string::npos);

    // A bad request is answered and the connection closed: what follows it is not read.
    static const char nul[] = "GET /\0 HTTP/1.1\r\n\r\nGET /health HTTP/1.1\r\n\r\n";
    const std::string answer = Exchange(server.Port(), std::string(nul, sizeof nul - 1), false);
    EXPECT_EQ(StatusLines(answer), std::vector<std::string>{"400"}) << answer;
    EXPECT_EQ(StatusLines(Exchange(server.Port(), "GET /health HTTP/1.0\r\n\r\n", false)), std::vector<std::string>{"200"});
    close(stalled);
}

// Every request is logged, control characters escaped, none lost at a stop; a stop right after
// binding ends Run at once, and a stop closes idle connections.
TEST(HttpFront, LogLinesAndStops)
{
    QTemporaryDir folder;
    const std::string logPath = folder.filePath("log").toStdString();
    const int saved = dup(2), log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(log, 2);
    std::string error;
    TileService service(MarkerSource(), MarkerSource(), TileCache(""), 1);
    {
        TileHttpServer early(service);
        ASSERT_TRUE(early.Bind("127.0.0.1", 0, error)) << error;
        early.Stop();
        early.Run();
    }
    TileHttpServer http(service);
    ASSERT_TRUE(http.Bind("127.0.0.1", 0, error)) << error;
    std::thread running([&] { http.Run(); });
    for (int i = 0; i < 20; ++i)
        Exchange(http.Port(), "GET /health HTTP/1.1\r\n\r\n");
    Exchange(http.Port(), "GET /a\x01\x1b[2J HTTP/1.1\r\n\r\n");
    const int idle = Connect(http.Port());
    EXPECT_EQ(send(idle, "GET /health HTTP/1.1\r\n\r\n", 24, MSG_NOSIGNAL), 24);
    char buffer[4096];
    EXPECT_GT(recv(idle, buffer, sizeof buffer, 0), 0);
    http.Stop();
    running.join();
    EXPECT_EQ(recv(idle, buffer, sizeof buffer, 0), 0);  // closed by the stop
    close(idle);
    dup2(saved, 2);
    close(saved);
    close(log);

    std::ifstream in(logPath);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 22) << text;
    EXPECT_NE(text.find(" GET /a\\x01\\x1b[2J 400 "), std::string::npos) << text;
}

}  // namespace
