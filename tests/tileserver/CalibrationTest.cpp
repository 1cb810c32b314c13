#include <gtest/gtest.h>

#include <QDir>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "FakeMapForm.h"
#include "MapMaker.h"
#include "Mapstuff.h"
#include "RasterSource.h"
#include "ScriptedPrompter.h"
#include "TestFiles.h"
#include "TileServerTesting.h"

namespace {

// "122.21.074W" or "47.39.059N" back to signed degrees.
double Degrees(const QString& text)
{
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("^(\\d+)\\.(\\d+\\.\\d+)([NSEW])$")).match(text);
    EXPECT_TRUE(m.hasMatch()) << text.toStdString();
    const double value = m.captured(1).toDouble() + m.captured(2).toDouble() / 60;
    return m.captured(3) == QLatin1String("W") || m.captured(3) == QLatin1String("S") ? -value : value;
}

class CalibrationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(library.isValid() && maps.isValid() && cache.isValid());
        std::string error;
        auto photo = RasterSource::Open(MarkerGeoTiff(), error);
        auto topo = RasterSource::Open(MarkerGeoTiff(), error);
        ASSERT_TRUE(photo && topo) << error;
        server = std::make_unique<RunningTileServer>(std::move(photo), std::move(topo), cache.path().toStdString());
        maker.SetTileLibraryFolder(library.path() + QLatin1Char('/'));
        maker.SetMapsFolder(maps.path() + QLatin1Char('/'));
        maker.SetTileServer(QUrl(QString::fromStdString(server->BaseUrl())));
        maker.SetFileNameOption(0);
        prompter.DefaultAnswer = true;
    }

    // The window's press of "&Download" on the middle marker as the centre of a 2 x 2 map.
    bool MakeMap(int16_t typeIndex, const QString& description)
    {
        form.Texts[MapForm::Field::Latitude] = QStringLiteral("47.36.45");    // 47.6075 N
        form.Texts[MapForm::Field::Longitude] = QStringLiteral("122.21.30");  // 122.3550 W
        form.Texts[MapForm::Field::Description] = description;
        form.Lists = ListChoices{0, 1, 1, typeIndex, true};
        QSignalSpy saved(&maker, &MapMaker::MapSaved);
        maker.PressOk();
        return saved.wait(60000);
    }

    QTemporaryDir library, maps, cache;
    std::unique_ptr<RunningTileServer> server;
    FakeMapForm form;
    ScriptedPrompter prompter;
    MapMaker maker{form, prompter};
};

// The program's own fetch loop against the tile server: the marker shows where the map's grid
// puts it, and the calibration file names the grid's corners.
TEST_F(CalibrationTest, MapFromTheServerShowsTheMarkerWhereItsGridSaysAndItsCalibrationNamesTheGridsCorners)
{
    ASSERT_TRUE(MakeMap(0, QStringLiteral("Marker photo")));
    const TileGrid& grid = maker.Grid();
    ASSERT_EQ(grid.Zone, 10);
    ASSERT_EQ(grid.MetresPerPixel, 1);
    const double west = double(grid.FirstTileX) * grid.TileMetres;
    const double south = double(grid.FirstTileY) * grid.TileMetres;
    const double east = west + 2 * grid.TileMetres, north = south + 2 * grid.TileMetres;

    const QImage map = maker.Picture().Map();
    ASSERT_EQ(map.size(), QSize(400, 400));
    RgbImage picture;
    picture.Width = picture.Height = 400;
    picture.Pixels.resize(400 * 400);
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 400; ++x) {
            const QColor c = map.pixelColor(x, y);
            picture.At(x, y) = {uint8_t(c.red()), uint8_t(c.green()), uint8_t(c.blue())};
        }
    const Marker& marker = kMarkers[1];
    const double expectedX = marker.Easting - west, expectedY = north - marker.Northing;
    double cx = 0, cy = 0;
    ASSERT_TRUE(RedCentre(picture, expectedX, expectedY, 30, cx, cy));
    EXPECT_NEAR(cx, expectedX, 1.0);
    EXPECT_NEAR(cy, expectedY, 1.0);

    // West and north on the first line, east and south on the second, to a thousandth of a minute.
    const QStringList lines = QString::fromLatin1(ReadFile(maps.filePath(QStringLiteral("Marker photo.INF")))).split(QStringLiteral("\r\n"));
    ASSERT_GE(lines.size(), 3);
    const QStringList first = lines[0].split(QLatin1Char(',')), second = lines[1].split(QLatin1Char(','));
    ASSERT_EQ(first.size(), 2);
    ASSERT_EQ(second.size(), 2);
    const struct { double Lon, Lat, Easting, Northing; } corners[] = {
        {Degrees(first[0]), Degrees(second[1]), west, south},
        {Degrees(second[0]), Degrees(first[1]), east, north},
    };
    for (const auto& corner : corners) {
        Mapstuff::UtmPoint point;
        point.Latitude = corner.Lat;
        point.Longitude = corner.Lon;
        point.EllipsoidIndex = 22;
        ASSERT_EQ(Mapstuff::LatLongToUtm(point), Mapstuff::UtmOk);
        EXPECT_EQ(point.Zone, 10);
        EXPECT_NEAR(point.Easting, corner.Easting, 2.0);
        EXPECT_NEAR(point.Northing, corner.Northing, 2.0);
    }
    for (const QString& name : QDir(library.path()).entryList(QDir::Files))
        EXPECT_TRUE(name.startsWith(QLatin1String("1-10-10-")) && name.endsWith(QLatin1String(".JPG"))) << name.toStdString();
}

TEST_F(CalibrationTest, TopographicTilesAreStoredAsGif)
{
    ASSERT_TRUE(MakeMap(1, QStringLiteral("Marker topo")));
    const QStringList names = QDir(library.path()).entryList(QDir::Files);
    ASSERT_EQ(names.size(), 4);
    for (const QString& name : names)
        EXPECT_TRUE(name.startsWith(QLatin1String("2-10-10-")) && name.endsWith(QLatin1String(".GIF"))) << name.toStdString();
    EXPECT_TRUE(QFile::exists(maps.filePath(QStringLiteral("Marker topo.JPG"))));
}

}  // namespace
