#pragma once

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <QProcess>

#include <gtest/gtest.h>
#include <httplib.h>

#include "RgbImage.h"
#include "TileHttpServer.h"
#include "TileService.h"

// A tile server over the given sources (the marker GeoTIFF by default), on 127.0.0.1 at a free
// port, for one test.
class RunningTileServer {
public:
    explicit RunningTileServer(const std::string& cache);
    RunningTileServer(std::unique_ptr<TileSource> photo, std::unique_ptr<TileSource> topo, const std::string& cache,
                      int workers = 2);
    RunningTileServer(std::unique_ptr<SourceChain> photo, std::unique_ptr<SourceChain> topo, const std::string& cache,
                      int workers = 2, int maxQueue = 0);
    ~RunningTileServer();

    int Port() const { return m_http.Port(); }
    std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(Port()); }
    // GET path on the server; status -1 when nothing came back.
    httplib::Result Get(const std::string& path);

private:
    TileService m_service;
    TileHttpServer m_http;
    std::thread m_thread;
};

// A program run for one test, sent SIGTERM and awaited when it goes.
struct Program : QProcess {
    ~Program() override;
    // Starts it and reads its standard error up to a line holding `text`; false when it ends first.
    bool StartUntil(const std::vector<std::string>& arguments, const QByteArray& text);
};

// Ports on 127.0.0.1 that were free a moment ago, all different.
std::vector<int> FreePorts(int count);

std::string TilePath(int type, int scale, int64_t x, int64_t y, int zone = 10);

// A tile's picture (JPEG or GIF) decoded; false when the bytes are no picture of the image's size.
bool DecodeTile(const std::string& bytes, RgbImage& image);

// A GeoTIFF in geographic coordinates (WGS 84) around Seattle, black, with red squares 30 m
// across centred on the markers below. Made once per test run.
struct Marker {
    double Longitude, Latitude;   // degrees
    double Easting, Northing;     // UTM zone 10 on the program's ellipsoid, by PROJ (cs2cs)
};
extern const Marker kMarkers[3];
std::string MarkerGeoTiff();
std::unique_ptr<TileSource> MarkerSource();

// Whether the red within `radius` pixels of (x, y) is centred within a pixel of it.
testing::AssertionResult RedCentredAt(const RgbImage& image, double x, double y, int radius);

// The embedded map's data, prepared once into the build folder and kept between runs.
inline std::string EmbeddedDataFolder() { return QUILTMAP_TEST_DATA_FOLDER "/embedded"; }
