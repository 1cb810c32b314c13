#include "TileServerTesting.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <mutex>

#include <QImage>

#include <gtest/gtest.h>

#include <gdal_priv.h>

#include "GdalSupport.h"
#include "RasterSource.h"

// PROJ: cs2cs +proj=longlat +a=6378137 +b=6356750.321 +to +proj=utm +zone=10 +a=6378137 +b=6356750.321
const Marker kMarkers[3] = {
    {-122.3630, 47.6020, 547881.580, 5272259.966},
    {-122.3550, 47.6075, 548477.834, 5272876.190},
    {-122.3470, 47.6165, 549070.687, 5273881.459},
};

RunningTileServer::RunningTileServer(const std::string& cache) : RunningTileServer(MarkerSource(), MarkerSource(), cache)
{
}

RunningTileServer::RunningTileServer(std::unique_ptr<TileSource> photo, std::unique_ptr<TileSource> topo,
                                     const std::string& cache, int workers)
    : RunningTileServer(std::make_unique<SourceChain>(std::move(photo)), std::make_unique<SourceChain>(std::move(topo)), cache, workers)
{
}

RunningTileServer::RunningTileServer(std::unique_ptr<SourceChain> photo, std::unique_ptr<SourceChain> topo,
                                     const std::string& cache, int workers, int maxQueue)
    : m_service(std::move(photo), std::move(topo), TileCache(cache), workers, {}, maxQueue), m_http(m_service, false)
{
    std::string error;
    if (m_http.Bind("127.0.0.1", 0, error))
        m_thread = std::thread([this] { m_http.Run(); });
}

RunningTileServer::~RunningTileServer()
{
    m_http.Stop();
    if (m_thread.joinable())
        m_thread.join();
}

httplib::Result RunningTileServer::Get(const std::string& path)
{
    httplib::Client client("127.0.0.1", Port());
    client.set_read_timeout(60);
    return client.Get(path.c_str());
}

Program::~Program()
{
    terminate();
    waitForFinished();
}

bool Program::StartUntil(const std::vector<std::string>& arguments, const QByteArray& text)
{
    QStringList rest;
    for (const std::string& argument : arguments)
        rest << QString::fromStdString(argument);
    setReadChannel(QProcess::StandardError);
    start(rest.takeFirst(), rest);
    QByteArray seen;
    while (!seen.contains(text) && waitForReadyRead(60000))
        seen += readAllStandardError();
    return seen.contains(text);
}

std::vector<int> FreePorts(int count)
{
    // All held until each is known, so none is given twice.
    std::vector<int> sockets, ports;
    for (int i = 0; i < count; ++i) {
        sockets.push_back(socket(AF_INET, SOCK_STREAM, 0));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        const bool bound = bind(sockets.back(), reinterpret_cast<sockaddr*>(&address), length) == 0 &&
                           getsockname(sockets.back(), reinterpret_cast<sockaddr*>(&address), &length) == 0;
        ports.push_back(bound ? ntohs(address.sin_port) : 0);
    }
    for (int s : sockets)
        close(s);
    return ports;
}

std::string TilePath(int type, int scale, int64_t x, int64_t y, int zone)
{
    return "/tile.ashx?T=" + std::to_string(type) + "&S=" + std::to_string(scale) + "&X=" + std::to_string(x) +
           "&Y=" + std::to_string(y) + "&Z=" + std::to_string(zone);
}

bool DecodeTile(const std::string& bytes, RgbImage& image)
{
    const QImage decoded = QImage::fromData(QByteArray::fromStdString(bytes));
    if (decoded.size() != QSize(image.Width, image.Height))
        return false;
    for (int y = 0; y < image.Height; ++y)
        for (int x = 0; x < image.Width; ++x) {
            const QRgb pixel = decoded.pixel(x, y);
            image.Pixels[size_t(y) * size_t(image.Width) + size_t(x)] = {uint8_t(qRed(pixel)), uint8_t(qGreen(pixel)), uint8_t(qBlue(pixel))};
        }
    return true;
}

std::string MarkerGeoTiff()
{
    static std::once_flag once;
    static std::string path = std::filesystem::temp_directory_path() / ("quiltmap-markers-" + std::to_string(getpid()) + ".tif");
    std::call_once(once, [] {
        static struct Remover {
            ~Remover() { std::filesystem::remove(path); }
        } remover;
        InitialiseGdal();
        constexpr double kWest = -122.366, kNorth = 47.619, kStep = 5e-6;
        constexpr int kColumns = 4400, kRows = 3800;
        const char* options[] = {"COMPRESS=DEFLATE", "SPARSE_OK=TRUE", "TILED=YES", nullptr};
        DatasetPtr tiff(GetGDALDriverManager()->GetDriverByName("GTiff")->Create(path.c_str(), kColumns, kRows, 3, GDT_Byte,
                                                                                 const_cast<char**>(options)));
        double transform[6] = {kWest, kStep, 0, kNorth, 0, -kStep};
        tiff->SetGeoTransform(transform);
        OGRSpatialReference wgs84;
        wgs84.importFromEPSG(4326);
        tiff->SetSpatialRef(&wgs84);
        // 30 m squares: 15 m either way of the centre.
        const double halfLat = 15 / 111132.0;
        for (const Marker& marker : kMarkers) {
            const double halfLon = 15 / (111320.0 * std::cos(marker.Latitude * M_PI / 180));
            const int x0 = int(std::lround((marker.Longitude - halfLon - kWest) / kStep));
            const int x1 = int(std::lround((marker.Longitude + halfLon - kWest) / kStep));
            const int y0 = int(std::lround((kNorth - marker.Latitude - halfLat) / kStep));
            const int y1 = int(std::lround((kNorth - marker.Latitude + halfLat) / kStep));
            const int w = x1 - x0, h = y1 - y0;
            for (int band = 1; band <= 3; ++band) {
                std::vector<uint8_t> block(size_t(w) * size_t(h), band == 1 ? 255 : 0);
                if (tiff->GetRasterBand(band)->RasterIO(GF_Write, x0, y0, w, h, block.data(), w, h, GDT_Byte, 0, 0, nullptr) != CE_None)
                    return;
            }
        }
    });
    return path;
}

std::unique_ptr<TileSource> MarkerSource()
{
    std::string error;
    auto source = RasterSource::Open(MarkerGeoTiff(), error);
    EXPECT_TRUE(source) << error;
    return source;
}

testing::AssertionResult RedCentredAt(const RgbImage& image, double x, double y, int radius)
{
    double sumX = 0, sumY = 0, weight = 0;
    for (int j = std::max(0, int(y) - radius); j <= std::min(image.Height - 1, int(y) + radius); ++j) {
        for (int i = std::max(0, int(x) - radius); i <= std::min(image.Width - 1, int(x) + radius); ++i) {
            const Rgb& p = image.At(i, j);
            const double red = std::max(0, int(p.R) - std::max(p.G, p.B));
            sumX += red * (i + 0.5), sumY += red * (j + 0.5), weight += red;
        }
    }
    if (weight < 255)
        return testing::AssertionFailure() << "no red near (" << x << ", " << y << ")";
    const double cx = sumX / weight, cy = sumY / weight;
    if (std::abs(cx - x) > 1.0 || std::abs(cy - y) > 1.0)
        return testing::AssertionFailure() << "red centred at (" << cx << ", " << cy << "), not (" << x << ", " << y << ")";
    return testing::AssertionSuccess();
}

