#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "GisFiles.h"
#include "MapRequest.h"
#include "MapSaver.h"
#include "ScriptedPrompter.h"
#include "TestFiles.h"

namespace {

using Kind = ScriptedPrompter::Kind;

TileGrid Grid(double latitude, double longitude, int16_t scale, int16_t width, int16_t height)
{
    ListChoices lists;
    lists.ScaleIndex = scale;
    lists.WidthIndex = int16_t(width - 1);
    lists.HeightIndex = int16_t(height - 1);
    MapRequest request;
    TileGrid grid;
    EXPECT_TRUE(BuildTileGrid(lists, latitude, longitude, request, grid));
    return grid;
}

// gdalinfo's JSON for a file; empty when it could not run.
QJsonObject GdalInfo(const QString& path)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("gdalinfo"));
    if (program.isEmpty())
        return {};
    QProcess gdal;
    gdal.start(program, {QStringLiteral("-json"), path});
    if (!gdal.waitForFinished(60000) || gdal.exitCode() != 0)
        return {};
    return QJsonDocument::fromJson(gdal.readAllStandardOutput()).object();
}

// The picture's south-west and north-east corners from the .INF's two lines, in degrees.
struct InfCorners { double west, north, east, south; };
InfCorners ReadInf(const QByteArray& text)
{
    const QRegularExpression line(QStringLiteral("(\\d{3})\\.(\\d\\d\\.\\d{3})([EW]),(\\d\\d)\\.(\\d\\d\\.\\d{3})([NS])"));
    double values[4] = {};
    auto it = line.globalMatch(QString::fromLatin1(text));
    for (int i = 0; i < 2 && it.hasNext(); ++i) {
        const auto m = it.next();
        values[i * 2] = (m.captured(1).toDouble() + m.captured(2).toDouble() / 60) * (m.captured(3) == "W" ? -1 : 1);
        values[i * 2 + 1] = (m.captured(4).toDouble() + m.captured(5).toDouble() / 60) * (m.captured(6) == "S" ? -1 : 1);
    }
    return {values[0], values[1], values[2], values[3]};
}

// The four lon,lat pairs of the KML's gx:LatLonQuad.
std::vector<std::pair<double, double>> KmlCorners(const QByteArray& kml)
{
    const auto m = QRegularExpression(QStringLiteral("<coordinates>([^<]*)</coordinates>")).match(QString::fromUtf8(kml));
    std::vector<std::pair<double, double>> corners;
    for (const QString& pair : m.captured(1).split(u' ', Qt::SkipEmptyParts)) {
        const QStringList parts = pair.split(u',');
        corners.emplace_back(parts.value(0).toDouble(), parts.value(1).toDouble());
    }
    return corners;
}

TEST(WorldFileText, PixelCentresOfTheGrid)
{
    const TileGrid grid = Grid(47.6, -122.3, 2, 5, 3);   // 4 m a pixel, corner on 800 m lines
    const QStringList lines = QString::fromLatin1(WorldFileText(grid)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 6);
    EXPECT_EQ(lines.mid(0, 4), QStringList({"4", "0", "0", "-4"}));
    EXPECT_EQ(lines[4].toDouble(), grid.FirstTileX * 800.0 + 2);
    EXPECT_EQ(lines[5].toDouble(), (grid.FirstTileY + 3) * 800.0 - 2);
    EXPECT_FALSE(lines[4].contains(u'e'));
}

TEST(ProjectionText, ZoneOnTheProgramsEllipsoidAtFullPrecision)
{
    const QString wkt = QString::fromUtf8(ProjectionText(Grid(47.6, -122.3, 0, 1, 1)));
    EXPECT_TRUE(wkt.startsWith("PROJCS[\"UTM zone 10N")) << wkt.toStdString();
    // The catalogue's WGS-84: a = 6378137, b = 6356750.321, so 1/f = a / (a - b) = 298.2294...
    const auto m = QRegularExpression(QStringLiteral("SPHEROID\\[\"WGS-84\",([^,]+),([^\\]]+)\\]")).match(wkt);
    ASSERT_TRUE(m.hasMatch()) << wkt.toStdString();
    EXPECT_EQ(m.captured(1), "6378137");
    EXPECT_EQ(m.captured(2).toDouble(), 6378137.0 / (6378137.0 - 6356750.321));
    EXPECT_TRUE(wkt.contains("PARAMETER[\"central_meridian\",-123]"));
    EXPECT_TRUE(wkt.contains("PARAMETER[\"scale_factor\",0.9996]"));
    EXPECT_TRUE(wkt.contains("PARAMETER[\"false_easting\",500000],PARAMETER[\"false_northing\",0]"));
}

class SavedGisFiles : public ::testing::Test {
protected:
    QTemporaryDir temporary;
    ScriptedPrompter prompter;

    QString Save(const TileGrid& grid, const QString& description, bool gisFiles = true)
    {
        const SaveRequest save = SaveRequestFor(grid, description, temporary.path() + u'/', 0, gisFiles);
        const int wide = int((grid.TopRight.Easting - grid.BottomLeft.Easting) / grid.MetresPerPixel);
        const int high = int((grid.TopRight.Northing - grid.BottomLeft.Northing) / grid.MetresPerPixel);
        QImage map(wide, high, QImage::Format_RGB32);
        map.fill(Qt::darkGreen);
        return SaveMap(map, save, prompter);
    }
};

// GDAL reads the picture's corners, in the zone, from the files beside it.
TEST_F(SavedGisFiles, GdalReadsTheGridCornersExactly)
{
    const struct { double latitude, longitude; int16_t scale, width, height; int zone; } cases[] = {
        {47.6, -122.3, 0, 3, 2, 10}, {38.9, -77.0, 4, 8, 8, 18}, {64.8, -147.7, 9, 8, 5, 6},
    };
    for (const auto& c : cases) {
        const TileGrid grid = Grid(c.latitude, c.longitude, c.scale, c.width, c.height);
        const QString base = Save(grid, QStringLiteral("Map %1").arg(c.zone));
        ASSERT_FALSE(base.isEmpty());
        const QJsonObject info = GdalInfo(base + ".JPG");
        ASSERT_FALSE(info.isEmpty()) << "gdalinfo (package gdal-bin) must run";
        const QJsonObject corners = info["cornerCoordinates"].toObject();
        const QJsonArray upperLeft = corners["upperLeft"].toArray();
        const QJsonArray lowerRight = corners["lowerRight"].toArray();
        EXPECT_NEAR(upperLeft[0].toDouble(), grid.BottomLeft.Easting, 0.01) << c.zone;
        EXPECT_NEAR(upperLeft[1].toDouble(), grid.TopRight.Northing, 0.01) << c.zone;
        EXPECT_NEAR(lowerRight[0].toDouble(), grid.TopRight.Easting, 0.01) << c.zone;
        EXPECT_NEAR(lowerRight[1].toDouble(), grid.BottomLeft.Northing, 0.01) << c.zone;
        const QString wkt = info["coordinateSystem"].toObject()["wkt"].toString();
        EXPECT_TRUE(wkt.contains(QStringLiteral("UTM zone %1N").arg(c.zone))) << wkt.toStdString();
    }
}

// The overlay's south-west and north-east corners are the calibration file's corners; the other
// two are turned with the grid, so they differ from the box the .INF describes.
TEST_F(SavedGisFiles, KmlCornersMatchTheInfCorners)
{
    const TileGrid grid = Grid(38.9, -77.0, 4, 8, 8);
    const QString base = Save(grid, QStringLiteral("Capitol <& \"Mall\">"));
    const InfCorners inf = ReadInf(ReadFile(base + ".INF"));
    const QByteArray kml = ReadFile(base + ".KML");
    const auto corners = KmlCorners(kml);
    ASSERT_EQ(corners.size(), 4u);
    const double minute = 1.0 / 60000;   // the .INF's last digit
    EXPECT_NEAR(corners[0].first, inf.west, minute);
    EXPECT_NEAR(corners[0].second, inf.south, minute);
    EXPECT_NEAR(corners[2].first, inf.east, minute);
    EXPECT_NEAR(corners[2].second, inf.north, minute);
    EXPECT_GT(std::abs(corners[1].second - inf.south), 10 * minute);   // the south-east corner lies off the parallel
    EXPECT_TRUE(kml.contains("<name>Capitol &lt;&amp; &quot;Mall&quot;&gt;</name>"));
    EXPECT_TRUE(kml.contains("<href>Capitol%20%26%20Mall.JPG</href>")) << kml.toStdString();
}

TEST_F(SavedGisFiles, WrittenOnlyWhenAsked)
{
    Save(Grid(47.6, -122.3, 0, 1, 1), QStringLiteral("Plain"), false);
    EXPECT_EQ(QDir(temporary.path()).entryList(QDir::Files, QDir::Name), QStringList({"Plain.INF", "Plain.JPG"}));
    Save(Grid(47.6, -122.3, 0, 1, 1), QStringLiteral("With"), true);
    const QStringList all = {"With.INF", "With.JGW", "With.JPG", "With.JPG.aux.xml", "With.KML", "With.PRJ"};
    EXPECT_EQ(QDir(temporary.path()).entryList({"With.*"}, QDir::Files, QDir::Name), all);
    // Saved again over it without them: the old placement must not stay beside the new picture.
    prompter.DefaultAnswer = true;
    Save(Grid(38.9, -77.0, 0, 1, 1), QStringLiteral("With"), false);
    EXPECT_EQ(QDir(temporary.path()).entryList({"With.*"}, QDir::Files, QDir::Name), QStringList({"With.INF", "With.JPG"}));
}

// A folder in the way of the world file: the map pair stays saved and the warning says so.
TEST_F(SavedGisFiles, FailureIsWarnedAndThePairStays)
{
    ASSERT_TRUE(QDir(temporary.path()).mkdir("Blocked.JGW"));
    const QString base = Save(Grid(47.6, -122.3, 0, 1, 1), QStringLiteral("Blocked"));
    EXPECT_EQ(base, temporary.path() + "/Blocked");
    const auto warnings = prompter.Texts(Kind::Warn);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_TRUE(warnings[0].contains("but its GIS files could not be written")) << warnings[0].toStdString();
    EXPECT_TRUE(QFileInfo(base + ".INF").isFile());
    EXPECT_TRUE(prompter.Texts(Kind::Inform).empty());
}

}  // namespace
