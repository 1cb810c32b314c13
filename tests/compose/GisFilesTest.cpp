#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "MapRequest.h"
#include "MapSaver.h"
#include "ScriptedPrompter.h"

namespace {

TileGrid Grid(double latitude, double longitude, int16_t scale, int16_t width, int16_t height)
{
    MapRequest request;
    TileGrid grid;
    EXPECT_TRUE(BuildTileGrid(ListChoices{scale, int16_t(width - 1), int16_t(height - 1)}, latitude, longitude, request, grid));
    return grid;
}

// Every writer's bytes for one 200 m map at 1 m a pixel: the description has markup, a tab and a
// character outside ASCII; the projection keeps the program's polar radius to the last digit.
TEST(CalibrationWriters, ExactBytes)
{
    const TileGrid grid = Grid(47.6, -122.3, 0, 1, 1);
    const MapCorners corners{grid.BottomLeft.Longitude, grid.TopRight.Latitude, grid.TopRight.Longitude,
                             grid.BottomLeft.Latitude, grid, QStringLiteral("Capitol & Mall café.JPG"),
                             QStringLiteral("Capitol <& \"Mall\">\tcafé")};
    const QByteArray prj =
        "PROJCS[\"UTM zone 10N (Quiltmap WGS-84)\",GEOGCS[\"Quiltmap WGS-84\",DATUM[\"Quiltmap WGS-84\","
        "SPHEROID[\"WGS-84\",6378137,298.22942589637864]],PRIMEM[\"Greenwich\",0],UNIT[\"degree\",0.0174532925199433]],"
        "PROJECTION[\"Transverse_Mercator\"],PARAMETER[\"latitude_of_origin\",0],PARAMETER[\"central_meridian\",-123],"
        "PARAMETER[\"scale_factor\",0.9996],PARAMETER[\"false_easting\",500000],PARAMETER[\"false_northing\",0],"
        "UNIT[\"metre\",1],AXIS[\"Easting\",EAST],AXIS[\"Northing\",NORTH]]\r\n";
    const std::vector<std::pair<std::string, QByteArray>> expected = {
        {".INF", "122.18.016W,47.36.065N\r\n122.17.855W,47.35.958N\r\nCapitol <& \"Mall\"> caf\xe9\r\n"},
        {".JGW", "1\r\n0\r\n0\r\n-1\r\n552600.5\r\n5272199.5\r\n"},
        {".PRJ", prj},
        {".KML", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kml xmlns=\"http://www.opengis.net/kml/2.2\" xmlns:gx="
                 "\"http://www.google.com/kml/ext/2.2\">\n  <GroundOverlay>\n    <name>Capitol &lt;&amp; &quot;Mall&quot;&gt; "
                 "caf\xc3\xa9</name>\n    <Icon><href>Capitol%20%26%20Mall%20caf%C3%A9.JPG</href></Icon>\n    <gx:LatLonQuad>\n"
                 "      <coordinates>-122.30026356564683,47.59929531748954 -122.29760317659729,47.59927905779256 -122.29757909046432,"
                 "47.60107848600205 -122.300239570724,47.60109474671773</coordinates>\n    </gx:LatLonQuad>\n  </GroundOverlay>\n</kml>\n"},
        {".JPG.aux.xml", "<PAMDataset>\n  <SRS dataAxisToSRSAxisMapping=\"1,2\">" +
                             QByteArray(prj).replace("\"", "&quot;").chopped(2) + "</SRS>\n</PAMDataset>\n"}};
    std::vector<std::pair<std::string, QByteArray>> written;
    for (const CalibrationWriter& writer : CalibrationWriters())
        written.emplace_back(writer.Suffix, writer.Text(corners));
    EXPECT_EQ(written, expected);
}

class SavedGisFiles : public ::testing::Test {
protected:
    QTemporaryDir temporary;
    ScriptedPrompter prompter;

    QString Save(const TileGrid& grid, const QString& description, bool gisFiles = true)
    {
        QImage map(grid.WidthMetres / grid.MetresPerPixel, grid.HeightMetres / grid.MetresPerPixel, QImage::Format_RGB32);
        map.fill(Qt::darkGreen);
        return SaveMap(map, SaveRequestFor(grid, description, temporary.path() + u'/', 0, gisFiles), prompter);
    }
    QStringList Files(const QString& pattern) const { return QDir(temporary.path()).entryList({pattern}, QDir::Files, QDir::Name); }
};

// GDAL reads the picture's corners, in the zone, from the files beside it.
TEST_F(SavedGisFiles, GdalReadsTheGridCornersExactly)
{
    const struct { double latitude, longitude; int16_t scale, width, height; int zone; } cases[] = {
        {47.6, -122.3, 0, 3, 2, 10}, {64.8, -147.7, 9, 8, 5, 6}};
    for (const auto& c : cases) {
        const TileGrid grid = Grid(c.latitude, c.longitude, c.scale, c.width, c.height);
        const QString base = Save(grid, QStringLiteral("Map %1").arg(c.zone));
        QProcess gdal;
        gdal.start(QStringLiteral("gdalinfo"), {QStringLiteral("-json"), base + ".JPG"});
        ASSERT_TRUE(gdal.waitForFinished(60000) && gdal.exitCode() == 0) << "gdalinfo (package gdal-bin) must run";
        const QJsonObject info = QJsonDocument::fromJson(gdal.readAllStandardOutput()).object();
        EXPECT_NEAR(info["cornerCoordinates"]["upperLeft"][0].toDouble(), grid.BottomLeft.Easting, 0.01) << c.zone;
        EXPECT_NEAR(info["cornerCoordinates"]["upperLeft"][1].toDouble(), grid.TopRight.Northing, 0.01) << c.zone;
        EXPECT_NEAR(info["cornerCoordinates"]["lowerRight"][0].toDouble(), grid.TopRight.Easting, 0.01) << c.zone;
        EXPECT_NEAR(info["cornerCoordinates"]["lowerRight"][1].toDouble(), grid.BottomLeft.Northing, 0.01) << c.zone;
        const QString wkt = info["coordinateSystem"].toObject()["wkt"].toString();
        EXPECT_TRUE(wkt.contains(QStringLiteral("UTM zone %1N").arg(c.zone))) << wkt.toStdString();
    }
}

// Written only when asked for, and all or none: a folder in the way of one leaves the map pair,
// which the warning says; saved over without them, the old placement must not stay.
TEST_F(SavedGisFiles, WrittenOnlyWhenAskedAndAllOrNone)
{
    Save(Grid(47.6, -122.3, 0, 1, 1), QStringLiteral("Plain"), false);
    EXPECT_EQ(Files("Plain.*"), QStringList({"Plain.INF", "Plain.JPG"}));
    ASSERT_TRUE(QDir(temporary.path()).mkdir("Blocked.JGW"));
    EXPECT_EQ(Save(Grid(47.6, -122.3, 0, 1, 1), QStringLiteral("Blocked")), temporary.path() + "/Blocked");
    EXPECT_EQ(Files("Blocked.*"), QStringList({"Blocked.INF", "Blocked.JPG"}));
    EXPECT_TRUE(prompter.Log.back().text.contains("but its GIS files could not be written"));
    Save(Grid(47.6, -122.3, 0, 1, 1), QStringLiteral("With"), true);
    EXPECT_EQ(Files("With.*"), QStringList({"With.INF", "With.JGW", "With.JPG", "With.JPG.aux.xml", "With.KML", "With.PRJ"}));
    prompter.DefaultAnswer = true;
    Save(Grid(38.9, -77.0, 0, 1, 1), QStringLiteral("With"), false);
    EXPECT_EQ(Files("With.*"), QStringList({"With.INF", "With.JPG"}));
    EXPECT_EQ(prompter.Log.size(), 5u);   // three saved, one warning, one overwrite question
}

}  // namespace
