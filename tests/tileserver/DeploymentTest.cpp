// The tile server as a club runs it: two instances behind nginx with the shipped site.
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include <QStandardPaths>
#include <QTemporaryDir>

#include "TileServerTesting.h"

namespace {

std::string Tile(int64_t x) { return TilePath(1, 10, x, 26361); }

TEST(TileServerDeployment, NginxKeepsServingWhileItsTileServersGo)
{
    const QString nginx = QStandardPaths::findExecutable("nginx", {"/usr/sbin", "/usr/local/sbin", "/usr/bin"});
    if (nginx.isEmpty())
        GTEST_SKIP() << "nginx is not installed (package nginx): the shipped nginx site is not tried";
    QTemporaryDir folder;
    const std::string dir = folder.path().toStdString();
    const std::vector<int> ports = FreePorts(3);
    Program servers[2];
    for (int i : {0, 1}) {
        ASSERT_TRUE(servers[i].StartUntil({QUILTMAP_TILESERVER, "--listen", "127.0.0.1:" + std::to_string(ports[i + 1]), "--photo",
                                           MarkerGeoTiff(), "--topo", MarkerGeoTiff(), "--cache", dir + "/cache" + std::to_string(i)},
                                          "listening on"));
    }
    // The shipped site on this test's ports and folders, on 127.0.0.1 only.
    std::stringstream site;
    site << std::ifstream(QUILTMAP_NGINX_SITE).rdbuf();
    std::string text = site.str();
    const std::pair<std::string, std::string> replacements[] = {
        {"listen 8420;", "listen 127.0.0.1:" + std::to_string(ports[0]) + ";"}, {"127.0.0.1:8421", "127.0.0.1:" + std::to_string(ports[1])},
        {"127.0.0.1:8422", "127.0.0.1:" + std::to_string(ports[2])}, {"/var/cache/nginx", dir}, {"/var/log/nginx", dir}};
    for (const auto& [from, to] : replacements)
        for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
            text.replace(at, from.size(), to);
    std::ofstream(dir + "/site.conf") << text;
    std::ofstream(dir + "/nginx.conf") << (getuid() == 0 ? "user root;\n" : "") << "pid " << dir << "/nginx.pid;\n"
                                       << "error_log stderr notice;\nevents {}\nhttp {\n"
                                       << "  client_body_temp_path " << dir << "/body;\n  proxy_temp_path " << dir << "/proxy;\n"
                                       << "  include " << dir << "/site.conf;\n}\n";
    Program front;
    ASSERT_TRUE(front.StartUntil({nginx.toStdString(), "-p", dir, "-e", "stderr", "-c", dir + "/nginx.conf", "-g", "daemon off;"},
                                 "start worker process"));
    httplib::Client client("127.0.0.1", ports[0]);
    client.set_read_timeout(60);

    const auto first = client.Get(Tile(2739)), again = client.Get(Tile(2739));
    ASSERT_TRUE(first && again);
    EXPECT_EQ(std::tuple(first->status, first->get_header_value("X-Cache-Status"), again->get_header_value("X-Cache-Status")),
              std::tuple(200, "MISS", "HIT"));
    EXPECT_EQ(again->body, first->body);

    // One killed, the other draws; both gone, what was drawn comes from nginx's cache.
    for (const bool both : {false, true}) {
        both ? servers[1].terminate() : servers[0].kill();
        servers[both].waitForFinished();
        for (int x : both ? std::vector<int>{2739, 2730, 2735} : std::vector<int>{2730, 2731, 2732, 2733, 2734, 2735}) {
            const auto answer = client.Get(Tile(x));
            ASSERT_TRUE(answer && answer->status == 200) << x;
            EXPECT_TRUE(!both || answer->get_header_value("X-Cache-Status") == "HIT") << x;
        }
    }
    const auto unseen = client.Get(Tile(2700));
    EXPECT_TRUE(unseen && unseen->status == 502);
}

}  // namespace
