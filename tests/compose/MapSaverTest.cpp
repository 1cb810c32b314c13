#include <csignal>
#include <cstdlib>
#include <thread>

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "MapSaver.h"
#include "ScriptedPrompter.h"
#include "TestFiles.h"

namespace {

using Kind = ScriptedPrompter::Kind;

const QByteArray LakeUnionCorners = "122.21.074W,47.39.059N\r\n122.17.059W,47.36.326N\r\n";
const QString DateName = "2003-05-17-14-03-09";
QDateTime FixedClock() { return QDateTime(QDate(2003, 5, 17), QTime(14, 3, 9)); }

class MapSaverTest : public ::testing::Test {
protected:
    QTemporaryDir temporary;
    QString maps = temporary.path() + "/Maps/";
    ScriptedPrompter prompter;
    QImage map = QImage(400, 200, QImage::Format_RGB32);

    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(maps));
        for (int y = 0; y < map.height(); ++y)  // smooth, so JPEG keeps it close
            for (int x = 0; x < map.width(); ++x)
                map.setPixel(x, y, qRgb(x * 255 / map.width(), y * 255 / map.height(), 128));
    }
    // Lake Union: south-west 47.605432 N 122.351234 W, north-east 47.650987 N 122.284321 W.
    SaveRequest LakeUnion(int16_t option = 0, const QString& description = "Lake Union", const QString& folder = {}) const
    {
        return {.FileNameOption = option, .Description = description, .MapsFolder = folder.isEmpty() ? maps : folder,
                .WestLongitude = -122.351234, .NorthLatitude = 47.650987, .EastLongitude = -122.284321,
                .SouthLatitude = 47.605432, .Grid = {}, .BetweenFiles = {}};
    }
    QStringList Files() const { return QDir(maps).entryList(QDir::Files, QDir::Name); }
};

// Minutes that round up to 60 keep the degrees; a decimal comma locale still writes a point.
TEST(FormatLatLong, DegreesMinutesAndThousandthsWithHemisphereLetters)
{
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const struct { double latitude, longitude; const char* text; } cases[] = {
        {47.99999999, -122.99999999, "47.60.000N 122.60.000W"}, {-33.5, 151.25, "33.30.000S 151.15.000E"},
        {0.0, 0.0, "00.00.000N 000.00.000E"}, {-0.5, -0.75, "00.30.000S 000.45.000W"}};
    for (const auto& c : cases) {
        QString latitude, longitude;
        FormatLatLong(c.latitude, c.longitude, latitude, longitude);
        EXPECT_EQ((latitude + " " + longitude).toStdString(), c.text);
    }
    QLocale::setDefault(before);
}

TEST_F(MapSaverTest, LakeUnionIsWrittenByteForByteAndThePictureDecodesToTheMap)
{
    SaveRequest request = LakeUnion();
    QStringList inPlace;   // after each file: the picture goes in place last, so a map appears whole
    request.BetweenFiles = [&] {
        inPlace << QString(QFile::exists(maps + "Lake Union.INF") ? "I" : "-") + (QFile::exists(maps + "Lake Union.JPG") ? "J" : "-");
    };
    EXPECT_EQ(SaveMap(map, request, prompter, FixedClock), maps + "Lake Union");
    EXPECT_EQ(inPlace, QStringList({"--", "--", "I-", "IJ"}));
    EXPECT_EQ(ReadFile(maps + "Lake Union.INF"), LakeUnionCorners + "Lake Union\r\n");
    EXPECT_EQ(Files(), QStringList({"Lake Union.INF", "Lake Union.JPG"}));
    EXPECT_EQ(prompter.Texts(Kind::Inform), std::vector<QString>{"The map has been saved as '" + maps + "Lake Union.JPG'."});
    EXPECT_EQ(prompter.Log.size(), 1u);
    QImageReader reader(maps + "Lake Union.JPG");
    EXPECT_EQ(reader.format(), "jpeg");
    const QImage read = reader.read();
    EXPECT_EQ(read.dotsPerMeterX(), 3937);   // 100 dots per inch
    const QImage saved = read.convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(saved.size(), map.size());
    long long total = 0;
    for (qsizetype i = 0; i < map.sizeInBytes(); ++i)  // the fourth byte of each pixel is 0xff in both
        total += std::abs(saved.constBits()[i] - map.constBits()[i]);
    EXPECT_LT(double(total) / (3.0 * map.width() * map.height()), 2.0);
}

// The calibration file keeps the description, in Windows-1252, with line breaks made blanks.
TEST_F(MapSaverTest, NamesFromTheDescriptionOrTheClock)
{
    const struct { int16_t option; const char* description; QString name; QByteArray title; } cases[] = {
        {0, "a/b: c?", "ab c", "a/b: c?"}, {0, R"(\/:*?"<>|)", DateName, R"(\/:*?"<>|)"},
        {7, "Lake Union", DateName, "Lake Union"}, {1, "Lake\r\nUnion", DateName, "Lake  Union"},
        {0, "Lake\tUnion\x7f", "Lake Union ", "Lake Union "}, {0, "..", DateName, ".."},
        {0, ". .hidden", "hidden", ". .hidden"}, {0, "a.b", "a.b", "a.b"},
        {1, "Café – “Ørsted” €5 ™ Œ Ω \U0001F600 ÿ", DateName,  // bytes from Python's cp1252, "replace"
         QByteArray::fromHex("436166e9209620" "93d872737465649420" "803520" "9920" "8c20" "3f20" "3f20" "ff")}};
    for (const auto& c : cases) {
        for (const QString& file : Files()) QFile::remove(maps + file);
        EXPECT_EQ(SaveMap(map, LakeUnion(c.option, QString::fromUtf8(c.description)), prompter, FixedClock), maps + c.name);
        EXPECT_EQ(Files(), QStringList({c.name + ".INF", c.name + ".JPG"})) << c.description;
        EXPECT_EQ(ReadFile(maps + c.name + ".INF"), LakeUnionCorners + c.title + "\r\n");
    }
    // Date names move on to the first second free of either file, leaving the old ones alone.
    WriteFile(maps + "2003-05-17-14-03-10.INF", "old calibration");
    WriteFile(maps + "2003-05-17-14-03-11.JPG", "old picture");
    EXPECT_EQ(SaveMap(map, LakeUnion(1), prompter, FixedClock), maps + "2003-05-17-14-03-12");
    EXPECT_EQ(ReadFile(maps + "2003-05-17-14-03-10.INF"), "old calibration");
    EXPECT_EQ(ReadFile(maps + "2003-05-17-14-03-11.JPG"), "old picture");
    EXPECT_TRUE(prompter.Texts(Kind::YesNo).empty());
}

TEST_F(MapSaverTest, ClashWithEitherFileAsksBeforeOverwriting)
{
    const QByteArray old = "an older and much longer calibration file\r\n\r\n\r\n";
    for (const QString existing : {"Lake Union.INF", "Lake Union.JPG"}) {
        QDir(maps).removeRecursively();
        WriteFile(maps + existing, old);
        prompter.Answers = {false, true};
        EXPECT_EQ(SaveMap(map, LakeUnion(), prompter, FixedClock), QString()) << existing.toStdString();
        EXPECT_EQ(ReadFile(maps + existing), old);
        EXPECT_EQ(SaveMap(map, LakeUnion(), prompter, FixedClock), maps + "Lake Union");
        EXPECT_EQ(ReadFile(maps + "Lake Union.INF"), LakeUnionCorners + "Lake Union\r\n");
        EXPECT_EQ(QImageReader(maps + "Lake Union.JPG").size(), map.size());
    }
    EXPECT_EQ(prompter.Texts(Kind::YesNo),
              std::vector<QString>(4, "You already have a map called 'Lake Union'. Do you want to overwrite it?"));
}

// A failed write is a warning with its reason, never "saved"; a folder under the calibration
// file's name lets the picture be written but not the calibration file.
TEST_F(MapSaverTest, FailedWritesAreReportedWithTheirReason)
{
    const QString missing = temporary.path() + "/No Such Folder/";
    const QString notSaved = "The map could not be saved as '%1Lake Union.JPG': ";
    const struct { QString folder; QImage picture; bool infFolder; QString prefix; } cases[] = {
        {missing, map, false, notSaved.arg(missing)}, {maps, QImage(), false, notSaved.arg(maps)},
        {maps, map, true, notSaved.arg(maps)}};
    for (const auto& c : cases) {
        ASSERT_TRUE(!c.infFolder || QDir(maps).mkdir("Lake Union.INF"));
        ScriptedPrompter shown;
        EXPECT_TRUE(SaveMap(c.picture, LakeUnion(0, "Lake Union", c.folder), shown, FixedClock).isEmpty());
        ASSERT_TRUE(shown.Log.size() == 1 && shown.Log[0].kind == Kind::Warn) << c.prefix.toStdString();
        const QString& text = shown.Log[0].text;
        EXPECT_TRUE(text.startsWith(c.prefix) && text.size() > c.prefix.size()) << text.toStdString();  // with a reason
        EXPECT_FALSE(QFileInfo(c.folder + "Lake Union.INF").isFile());
        EXPECT_FALSE(QFile::exists(c.folder + "Lake Union.JPG"));
        EXPECT_TRUE(QDir(maps).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }
}

// Two savers of one name at once: the later replaces the whole set or is refused; date names
// take the next second. Every set left is one saver's picture with its own calibration.
TEST_F(MapSaverTest, ConcurrentSaversLeaveWholeSets)
{
    const struct { int16_t option; bool overwrite; QStringList files; } cases[] = {
        {0, true, {"Lake Union.INF", "Lake Union.JPG"}}, {0, false, {"Lake Union.INF", "Lake Union.JPG"}},
        {1, false, {DateName + ".INF", DateName + ".JPG", "2003-05-17-14-03-10.INF", "2003-05-17-14-03-10.JPG"}}};
    for (const auto& c : cases) {
        for (int round = 0; round < 8; ++round) {
            ASSERT_TRUE(QDir(maps).removeRecursively() && QDir().mkpath(maps));
            QString saved[2];
            std::thread savers[2];
            for (int i = 0; i < 2; ++i)
                savers[i] = std::thread([&, i] {
                    ScriptedPrompter answers;
                    answers.DefaultAnswer = c.overwrite;
                    SaveRequest request = LakeUnion(c.option);
                    request.NorthLatitude += i;   // 47.39.059N or 48.39.059N
                    saved[i] = SaveMap(map.mirrored(i, false), request, answers, FixedClock);
                });
            for (std::thread& saver : savers) saver.join();
            EXPECT_EQ(int(saved[0].isEmpty()) + int(saved[1].isEmpty()), c.overwrite || c.option ? 0 : 1);
            EXPECT_EQ(QDir(maps).entryList(QDir::Files | QDir::Hidden, QDir::Name), c.files);
            for (const QString& base : {saved[0], saved[1]}) {   // the second saver's picture is mirrored
                if (base.isEmpty()) continue;
                const bool mirrored = QImage(base + ".JPG").pixelColor(2, 100).red() > 128;
                EXPECT_TRUE(ReadFile(base + ".INF").startsWith(mirrored ? "122.21.074W,48.39.059N" : "122.21.074W,47.39.059N"));
            }
        }
    }
}

// SIGTERM during a save ends the process once the whole new set is in place, with no temporary
// file left; before the save it would have left the old set.
TEST_F(MapSaverTest, TerminationWaitsForTheWholeSet)
{
    for (const int step : {0, 2, 3}) {   // after the first temporary file, the first rename, the last
        WriteFile(maps + "Lake Union.INF", "old");
        SaveRequest request = LakeUnion();
        request.Overwrite = true;
        int steps = 0;
        request.BetweenFiles = [&] { if (steps++ == step) std::raise(SIGTERM); };
        EXPECT_EXIT((SaveMap(map, request, prompter, FixedClock), std::exit(0)), testing::KilledBySignal(SIGTERM), "");
        EXPECT_EQ(ReadFile(maps + "Lake Union.INF"), LakeUnionCorners + "Lake Union\r\n");
        EXPECT_EQ(QImage(maps + "Lake Union.JPG").size(), map.size());
        EXPECT_EQ(QDir(maps).entryList(QDir::Files | QDir::Hidden, QDir::Name), QStringList({"Lake Union.INF", "Lake Union.JPG"}));
    }
}

}  // namespace
