// The tile server as a club runs it: two instances behind nginx with the shipped site, and a
// cloud-optimised GeoTIFF read over HTTP.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <sstream>

#include <QStandardPaths>
#include <QTemporaryDir>

#include "RasterSource.h"
#include "TileServerTesting.h"

extern char** environ;

namespace {

// A program run for one test, its standard error read through a pipe; stopped when it goes.
class Process {
public:
    explicit Process(std::vector<std::string> arguments)
    {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
        std::vector<char*> argv;
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        m_errors = fdopen(fds[0], "r");
    }
    ~Process()
    {
        Stop(SIGTERM);
        if (m_errors)
            fclose(m_errors);
    }
    // Reads its standard error up to a line holding `text`; false when it ends first.
    bool WaitFor(const char* text)
    {
        char line[4096];
        while (m_errors && fgets(line, sizeof line, m_errors)) {
            if (strstr(line, text))
                return true;
        }
        return false;
    }
    void Stop(int signal)
    {
        if (m_pid > 0 && kill(m_pid, signal) == 0)
            waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
    FILE* m_errors = nullptr;
};

// Ports free on 127.0.0.1, all held until each is known, so none is given twice.
std::vector<int> FreePorts(int count)
{
    std::vector<int> sockets, ports;
    for (int i = 0; i < count; ++i) {
        sockets.push_back(socket(AF_INET, SOCK_STREAM, 0));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        bind(sockets.back(), reinterpret_cast<sockaddr*>(&address), length);
        getsockname(sockets.back(), reinterpret_cast<sockaddr*>(&address), &length);
        ports.push_back(ntohs(address.sin_port));
    }
    for (int s : sockets)
        close(s);
    return ports;
}

void Replace(std::string& text, const std::string& from, const std::string& to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

std::string Tile(int64_t x, int scale = 10, int64_t y = 26361)
{
    return "/tile.ashx?T=1&S=" + std::to_string(scale) + "&X=" + std::to_string(x) + "&Y=" + std::to_string(y) + "&Z=10";
}

TEST(TileServerDeployment, NginxKeepsServingWhileItsTileServersGo)
{
    const QString nginx = QStandardPaths::findExecutable("nginx", {"/usr/sbin", "/usr/local/sbin", "/usr/bin"});
    if (nginx.isEmpty())
        GTEST_SKIP() << "nginx is not installed (package nginx): the shipped nginx site is not tried";
    QTemporaryDir folder;
    const std::string dir = folder.path().toStdString();
    const std::vector<int> ports = FreePorts(3);
    std::vector<std::unique_ptr<Process>> servers;
    for (int i : {1, 2}) {
        servers.push_back(std::make_unique<Process>(std::vector<std::string>{
            QUILTMAP_TILESERVER, "--listen", "127.0.0.1:" + std::to_string(ports[i]), "--photo", MarkerGeoTiff(),
            "--topo", MarkerGeoTiff(), "--cache", dir + "/cache" + std::to_string(i)}));
        ASSERT_TRUE(servers.back()->WaitFor("listening on"));
    }
    // The shipped site on this test's ports and folders, on 127.0.0.1 only.
    std::stringstream site;
    site << std::ifstream(QUILTMAP_NGINX_SITE).rdbuf();
    std::string text = site.str();
    Replace(text, "listen 8420;", "listen 127.0.0.1:" + std::to_string(ports[0]) + ";");
    Replace(text, "127.0.0.1:8421", "127.0.0.1:" + std::to_string(ports[1]));
    Replace(text, "127.0.0.1:8422", "127.0.0.1:" + std::to_string(ports[2]));
    Replace(text, "/var/cache/nginx", dir);
    Replace(text, "/var/log/nginx", dir);
    std::ofstream(dir + "/site.conf") << text;
    std::ofstream(dir + "/nginx.conf") << (getuid() == 0 ? "user root;\n" : "") << "pid " << dir << "/nginx.pid;\n"
                                       << "error_log stderr notice;\nevents {}\nhttp {\n"
                                       << "  client_body_temp_path " << dir << "/body;\n  proxy_temp_path " << dir << "/proxy;\n"
                                       << "  include " << dir << "/site.conf;\n}\n";
    Process front({nginx.toStdString(), "-p", dir, "-e", "stderr", "-c", dir + "/nginx.conf", "-g", "daemon off;"});
    ASSERT_TRUE(front.WaitFor("start worker process"));
    httplib::Client client("127.0.0.1", ports[0]);
    client.set_read_timeout(60);

    const auto first = client.Get(Tile(2739)), again = client.Get(Tile(2739));
    ASSERT_TRUE(first && again);
    EXPECT_EQ(first->status, 200);
    EXPECT_EQ(first->get_header_value("X-Cache-Status"), "MISS");
    EXPECT_EQ(again->get_header_value("X-Cache-Status"), "HIT");
    EXPECT_EQ(again->body, first->body);

    servers[0]->Stop(SIGKILL);
    for (int x = 2730; x < 2736; ++x) {
        const auto answer = client.Get(Tile(x));
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->status, 200) << x;
    }

    servers[1]->Stop(SIGTERM);
    for (int x : {2739, 2730, 2735}) {
        const auto answer = client.Get(Tile(x));
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->status, 200) << x;
        EXPECT_EQ(answer->get_header_value("X-Cache-Status"), "HIT") << x;
    }
    const auto unseen = client.Get(Tile(2700));
    ASSERT_TRUE(unseen);
    EXPECT_EQ(unseen->status, 502);
}

TEST(TileServerSources, CloudOptimisedGeoTiffOverHttpGivesTheTilesOfTheFileOnDisk)
{
    QTemporaryDir folder;
    const std::string cog = folder.path().toStdString() + "/markers.tif";
    ASSERT_EQ(system(("gdal_translate -q -of COG -co COMPRESS=DEFLATE '" + MarkerGeoTiff() + "' '" + cog + "'").c_str()), 0);
    httplib::Server files;
    std::atomic<int> rangeReads{0};
    files.set_mount_point("/", folder.path().toStdString());
    files.set_logger([&](const httplib::Request& request, const httplib::Response& response) {
        rangeReads += request.has_header("Range") && response.status == 206;
    });
    const int port = files.bind_to_any_port("127.0.0.1");
    std::thread serving([&] { files.listen_after_bind(); });
    std::string error;
    auto remote = RasterSource::Open("/vsicurl/http://127.0.0.1:" + std::to_string(port) + "/markers.tif", error);
    ASSERT_TRUE(remote) << error;
    auto local = RasterSource::Open(cog, error);
    ASSERT_TRUE(local) << error;
    // Full resolution and two overviews, each around the first marker.
    const struct { int Scale; int64_t X, Y; } tiles[] = {{10, 2739, 26361}, {12, 684, 6590}, {14, 171, 1647}};
    for (const auto& t : tiles) {
        SCOPED_TRACE(Tile(t.X, t.Scale, t.Y));
        RgbImage fromHttp, fromDisk;
        const TileAddress tile{1, t.Scale, 10, t.X, t.Y};
        ASSERT_TRUE(remote->Render(tile, fromHttp).Ok);
        ASSERT_TRUE(local->Render(tile, fromDisk).Ok);
        EXPECT_TRUE(fromHttp.Pixels == fromDisk.Pixels);
        double cx, cy;
        EXPECT_TRUE(RedCentre(fromHttp, 100, 100, 100, cx, cy));
    }
    EXPECT_GT(rangeReads, 0);
    files.stop();
    serving.join();
}

}  // namespace
