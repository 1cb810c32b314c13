#include <cstdlib>

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "MapSaver.h"
#include "QtPrinting.h"
#include "ScriptedPrompter.h"
#include "TileFiles.h"

namespace {

using Kind = ScriptedPrompter::Kind;

// The worked example: Lake Union, south-west 47.605432 N 122.351234 W, north-east
// 47.650987 N 122.284321 W.
SaveRequest LakeUnion(const QString& mapsFolder)
{
    SaveRequest request;
    request.FileNameOption = 0;
    request.Description = QStringLiteral("Lake Union");
    request.MapsFolder = mapsFolder;
    request.WestLongitude = -122.351234;
    request.NorthLatitude = 47.650987;
    request.EastLongitude = -122.284321;
    request.SouthLatitude = 47.605432;
    return request;
}

const QByteArray LakeUnionCorners = "122.21.074W,47.39.059N\r\n122.17.059W,47.36.326N\r\n";

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

QDateTime FixedClock()
{
    return QDateTime(QDate(2003, 5, 17), QTime(14, 3, 9));
}

// A smooth picture that JPEG keeps close.
QImage GradientMap(int width, int height)
{
    QImage map(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            map.setPixel(x, y, qRgb(x * 255 / width, y * 255 / height, 128));
    return map;
}

class MapSaverTest : public ::testing::Test {
protected:
    QTemporaryDir temporary;
    QString maps = temporary.path() + "/Maps/";
    ScriptedPrompter prompter;
    QImage map = GradientMap(400, 200);

    void SetUp() override { ASSERT_TRUE(QDir().mkpath(maps)); }

    QStringList Files() const { return QDir(maps).entryList(QDir::Files, QDir::Name); }
};

TEST(FormatLatLong, DegreesMinutesAndThousandthsWithHemisphereLetters)
{
    struct Case {
        double latitude, longitude;
        const char* latitudeText;
        const char* longitudeText;
    };
    const Case cases[] = {
        {5.25, -75.5, "05.15.000N", "075.30.000W"},
        {47.650987, -122.351234, "47.39.059N", "122.21.074W"},
        {47.605432, -122.284321, "47.36.326N", "122.17.059W"},
        // Minutes that round up to 60 keep the degrees.
        {47.99999999, -122.99999999, "47.60.000N", "122.60.000W"},
        {-33.5, 151.25, "33.30.000S", "151.15.000E"},
        {0.0, 0.0, "00.00.000N", "000.00.000E"},
        {-0.5, -0.75, "00.30.000S", "000.45.000W"},
    };
    for (const Case& c : cases) {
        QString latitudeText, longitudeText;
        FormatLatLong(c.latitude, c.longitude, latitudeText, longitudeText);
        EXPECT_EQ(latitudeText, c.latitudeText) << c.latitude;
        EXPECT_EQ(longitudeText, c.longitudeText) << c.longitude;
    }
}

TEST(FormatLatLong, DecimalCommaLocaleStillWritesAPoint)
{
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QString latitudeText, longitudeText;
    FormatLatLong(47.650987, -122.351234, latitudeText, longitudeText);
    QLocale::setDefault(before);
    EXPECT_EQ(latitudeText, "47.39.059N");
    EXPECT_EQ(longitudeText, "122.21.074W");
}

TEST_F(MapSaverTest, LakeUnionIsWrittenByteForByte)
{
    EXPECT_EQ(SaveMap(map, LakeUnion(maps), prompter, FixedClock), maps + "Lake Union");
    EXPECT_EQ(ReadAll(maps + "Lake Union.INF"), LakeUnionCorners + "Lake Union\r\n");
    EXPECT_EQ(Files(), QStringList({"Lake Union.INF", "Lake Union.JPG"}));
    ASSERT_EQ(prompter.Log.size(), 1u);
    EXPECT_EQ(prompter.Log[0].kind, Kind::Inform);
    EXPECT_EQ(prompter.Log[0].text, "The map has been saved as '" + maps + "Lake Union.JPG'.");
}

TEST_F(MapSaverTest, SavedPictureDecodesToTheMap)
{
    ASSERT_FALSE(SaveMap(map, LakeUnion(maps), prompter, FixedClock).isEmpty());
    QImageReader reader(maps + "Lake Union.JPG");
    EXPECT_EQ(reader.format(), "jpeg");
    const QImage saved = reader.read().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(saved.size(), map.size());
    long long total = 0;
    int worst = 0;
    for (int y = 0; y < map.height(); ++y) {
        for (int x = 0; x < map.width(); ++x) {
            const QRgb a = saved.pixel(x, y), b = map.pixel(x, y);
            for (const int d : {qRed(a) - qRed(b), qGreen(a) - qGreen(b), qBlue(a) - qBlue(b)}) {
                total += std::abs(d);
                worst = std::max(worst, std::abs(d));
            }
        }
    }
    EXPECT_LT(double(total) / (3.0 * map.width() * map.height()), 2.0);
    EXPECT_LE(worst, 16);
}

TEST_F(MapSaverTest, NamesFromTheDescriptionOrTheClock)
{
    struct Case {
        int16_t option;
        const char* description;
        const char* name;
    };
    const Case cases[] = {
        {0, "a/b: c?", "ab c"},
        {0, R"(\/:*?"<>|)", "2003-05-17-14-03-09"},
        {0, "???", "2003-05-17-14-03-09"},
        {1, "Lake Union", "2003-05-17-14-03-09"},
        {7, "Lake Union", "2003-05-17-14-03-09"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        QDir(maps).removeRecursively();
        QDir().mkpath(maps);
        SaveRequest request = LakeUnion(maps);
        request.FileNameOption = c.option;
        request.Description = QString::fromUtf8(c.description);
        EXPECT_EQ(SaveMap(map, request, prompter, FixedClock), maps + c.name);
        EXPECT_EQ(Files(), QStringList({QString(c.name) + ".INF", QString(c.name) + ".JPG"}));
        // The calibration file keeps the description as typed.
        EXPECT_EQ(ReadAll(maps + c.name + ".INF"), LakeUnionCorners + c.description + "\r\n");
    }
    EXPECT_TRUE(prompter.Texts(Kind::YesNo).empty());
}

TEST_F(MapSaverTest, DateNamesMoveOnToTheFirstFreeSecond)
{
    TileFiles::WriteBytes(maps + "2003-05-17-14-03-09.JPG", "old picture");
    TileFiles::WriteBytes(maps + "2003-05-17-14-03-10.INF", "old calibration");
    SaveRequest request = LakeUnion(maps);
    request.FileNameOption = 1;
    EXPECT_EQ(SaveMap(map, request, prompter, FixedClock), maps + "2003-05-17-14-03-11");
    EXPECT_EQ(ReadAll(maps + "2003-05-17-14-03-09.JPG"), "old picture");
    EXPECT_EQ(ReadAll(maps + "2003-05-17-14-03-10.INF"), "old calibration");
    EXPECT_TRUE(QFile::exists(maps + "2003-05-17-14-03-11.JPG"));
    EXPECT_TRUE(prompter.Texts(Kind::YesNo).empty());
}

TEST_F(MapSaverTest, ClashWithEitherFileAsksBeforeOverwriting)
{
    const QString question =
        "You already have a map called 'Lake Union'. Do you want to overwrite it?";
    for (const char* existing : {"Lake Union.INF", "Lake Union.JPG"}) {
        SCOPED_TRACE(existing);
        QDir(maps).removeRecursively();
        QDir().mkpath(maps);
        TileFiles::WriteBytes(maps + existing, "old");

        ScriptedPrompter refusing;
        refusing.Answers = {false};
        EXPECT_TRUE(SaveMap(map, LakeUnion(maps), refusing, FixedClock).isEmpty());
        ASSERT_EQ(refusing.Log.size(), 1u);
        EXPECT_EQ(refusing.Log[0].text, question);
        EXPECT_EQ(Files(), QStringList({existing}));
        EXPECT_EQ(ReadAll(maps + existing), "old");

        ScriptedPrompter agreeing;
        agreeing.Answers = {true};
        EXPECT_EQ(SaveMap(map, LakeUnion(maps), agreeing, FixedClock), maps + "Lake Union");
        EXPECT_EQ(agreeing.Texts(Kind::YesNo), std::vector<QString>({question}));
        EXPECT_EQ(ReadAll(maps + "Lake Union.INF"), LakeUnionCorners + "Lake Union\r\n");
        EXPECT_EQ(QImageReader(maps + "Lake Union.JPG").size(), map.size());
        EXPECT_EQ(Files(), QStringList({"Lake Union.INF", "Lake Union.JPG"}));
    }
}

TEST_F(MapSaverTest, DescriptionIsWrittenInWindows1252)
{
    SaveRequest request = LakeUnion(maps);
    request.Description = QString::fromUtf8("Café – “Ørsted” €5 ™ Œ Ω \U0001F600 ÿ");
    request.FileNameOption = 1;
    const QString base = SaveMap(map, request, prompter, FixedClock);
    // Bytes from Python's cp1252 codec with errors="replace".
    const QByteArray expected = QByteArray::fromHex(
        "436166e9209620" "93d872737465649420" "803520" "9920" "8c20" "3f20" "3f20" "ff");
    EXPECT_EQ(ReadAll(base + ".INF"), LakeUnionCorners + expected + "\r\n");
}

TEST_F(MapSaverTest, LineBreaksInTheDescriptionCannotAddLines)
{
    SaveRequest request = LakeUnion(maps);
    request.Description = "Lake\r\nUnion";
    const QString base = SaveMap(map, request, prompter, FixedClock);
    EXPECT_EQ(ReadAll(base + ".INF"), LakeUnionCorners + "Lake  Union\r\n");
}

TEST_F(MapSaverTest, UnwritablePictureIsReportedAndNoCalibrationWritten)
{
    TileFiles::WriteBytes(temporary.path() + "/plain-file", "x");
    struct Case {
        const char* name;
        QString folder;
        QImage picture;
    };
    const Case cases[] = {
        {"missing folder", temporary.path() + "/No Such Folder/", map},
        {"parent is a file", temporary.path() + "/plain-file/", map},
        {"empty picture", maps, QImage()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPrompter shown;
        SaveRequest request = LakeUnion(c.folder);
        EXPECT_TRUE(SaveMap(c.picture, request, shown, FixedClock).isEmpty());
        ASSERT_EQ(shown.Log.size(), 1u);
        EXPECT_EQ(shown.Log[0].kind, Kind::Warn);
        const QString prefix = "The map could not be saved as '" + c.folder + "Lake Union.JPG': ";
        EXPECT_TRUE(shown.Log[0].text.startsWith(prefix)) << shown.Log[0].text.toStdString();
        EXPECT_GT(shown.Log[0].text.size(), prefix.size()) << "no reason given";
        EXPECT_FALSE(QFile::exists(c.folder + "Lake Union.INF"));
    }
    EXPECT_TRUE(Files().isEmpty());
}

TEST_F(MapSaverTest, UnwritableCalibrationFileIsNotReportedAsSaved)
{
    // A folder under the calibration file's name: the picture can be written, the file cannot.
    ASSERT_TRUE(QDir(maps).mkdir("Lake Union.INF"));
    EXPECT_TRUE(SaveMap(map, LakeUnion(maps), prompter, FixedClock).isEmpty());
    EXPECT_TRUE(prompter.Texts(Kind::Inform).empty());
    const std::vector<QString> warnings = prompter.Texts(Kind::Warn);
    ASSERT_EQ(warnings.size(), 1u);
    const QString prefix = "The map picture has been saved as '" + maps +
                           "Lake Union.JPG', but its calibration file '" + maps +
                           "Lake Union.INF' could not be written: ";
    EXPECT_TRUE(warnings[0].startsWith(prefix)) << warnings[0].toStdString();
    EXPECT_GT(warnings[0].size(), prefix.size()) << "no reason given";
}

TEST(WriteInfFile, FailureLeavesNothingUnderTheNameAndSaysWhy)
{
    QTemporaryDir temporary;
    const QString path = temporary.path() + "/missing/Lake Union.INF";
    QString error;
    EXPECT_FALSE(WriteInfFile(-122.351234, 47.650987, -122.284321, 47.605432, path, "Lake Union",
                              &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFile::exists(path));

    const QString good = temporary.path() + "/Lake Union.INF";
    TileFiles::WriteBytes(good, "an older and much longer calibration file\r\n\r\n\r\n");
    EXPECT_TRUE(WriteInfFile(-122.351234, 47.650987, -122.284321, 47.605432, good, "Lake Union"));
    EXPECT_EQ(ReadAll(good), LakeUnionCorners + "Lake Union\r\n");
    EXPECT_EQ(QDir(temporary.path()).entryList(QDir::Files), QStringList({"Lake Union.INF"}));
}

}  // namespace
