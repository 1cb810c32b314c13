#include <algorithm>
#include <memory>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "FakeMapForm.h"
#include "MapMaker.h"
#include "ScriptedPrompter.h"
#include "TestTileServer.h"

namespace {

using Kind = ScriptedPrompter::Kind;

constexpr int X0 = 622;
constexpr int Y0 = 5500;
constexpr int WaitMs = 20000;
const QColor Blank(Qt::white);

QString Query(int x, int y)
{
    return QStringLiteral("T=1&S=12&X=%1&Y=%2&Z=13").arg(x).arg(y);
}

QString TileName(int x, int y, const char* extension)
{
    return QStringLiteral("1-12-13-%1-%2.%3").arg(x).arg(y).arg(QLatin1String(extension));
}

// A 1x1 red GIF of 35 bytes, padded after its end to exactly `size` bytes.
QByteArray PaddedGif(int size)
{
    QByteArray gif = QByteArray::fromHex("474946383961010001008000"
                                         "00ff0000000000"
                                         "2c00000000010001000002024401003b");
    gif.append(QByteArray(qMax(0, size - int(gif.size())), '\0'));
    return gif.left(size);
}

bool Near(const QColor& actual, const QColor& expected, int tolerance)
{
    return qAbs(actual.red() - expected.red()) <= tolerance &&
           qAbs(actual.green() - expected.green()) <= tolerance &&
           qAbs(actual.blue() - expected.blue()) <= tolerance;
}

std::string Text(const QColor& colour)
{
    return colour.name().toStdString();
}

class FetchLoopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.Start());
        ASSERT_TRUE(library.isValid());
        ASSERT_TRUE(maps.isValid());
        maker = std::make_unique<MapMaker>(form, prompter);
        maker->SetTileLibraryFolder(library.path() + QLatin1Char('/'));
        maker->SetMapsFolder(maps.path() + QLatin1Char('/'));
        maker->SetTileServer(server.BaseUrl());
        prompter.DefaultAnswer = false;   // the map is not saved unless a test says so
    }
    void TearDown() override
    {
        maker.reset();
        server.Stop();
    }

    static MapRequest RequestOf(int16_t wide, int16_t high)
    {
        MapRequest request;
        request.TilesWide = wide;
        request.TilesHigh = high;
        request.ResolutionIndex = 2;
        request.ImageType = 1;
        request.Description = QStringLiteral("Lake Union");
        return request;
    }
    static TileGrid GridOf()
    {
        TileGrid grid;
        grid.MetresPerPixel = 4;
        grid.ScaleCode = 12;
        grid.TileMetres = 800;
        grid.FirstTileX = X0;
        grid.FirstTileY = Y0;
        grid.Zone = 13;
        grid.BottomLeft.Latitude = 47.605432;
        grid.BottomLeft.Longitude = -122.351234;
        grid.TopRight.Latitude = 47.650987;
        grid.TopRight.Longitude = -122.284321;
        return grid;
    }

    void Begin(int16_t wide, int16_t high)
    {
        maker->BeginDownload(RequestOf(wide, high), GridOf());
    }
    // Runs one download to its end; false when it did not end in time.
    bool Download(int16_t wide, int16_t high)
    {
        QSignalSpy ended(maker.get(), &MapMaker::DownloadEnded);
        Begin(wide, high);
        return ended.wait(WaitMs);
    }

    void WriteTile(const QString& name, const QByteArray& bytes)
    {
        QFile file(library.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    QByteArray ReadTile(const QString& name) const
    {
        QFile file(library.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QStringList Files() const
    {
        return QDir(library.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    // The colour in the middle of a tile's square, rows counted from the top of the map.
    QColor Square(int column, int rowFromTop) const
    {
        return maker->Picture().Map().pixelColor(column * 200 + 100, rowFromTop * 200 + 100);
    }
    int SaveQuestions() const
    {
        int count = 0;
        for (const QString& text : prompter.Texts(Kind::YesNo))
            count += text == QLatin1String("Do you want to save the map?");
        return count;
    }

    TestTileServer server;   // outlives the maker, whose connections it serves
    QTemporaryDir library;
    QTemporaryDir maps;
    FakeMapForm form;
    ScriptedPrompter prompter;
    std::unique_ptr<MapMaker> maker;
};

TEST_F(FetchLoopTest, TakesRowsFromTheTopWestToEastAndComposesThem)
{
    ASSERT_TRUE(Download(2, 2));

    const std::vector<QString> expected = {Query(X0, Y0 + 1), Query(X0 + 1, Y0 + 1),
                                           Query(X0, Y0), Query(X0 + 1, Y0)};
    EXPECT_EQ(server.Queries(), expected);
    for (const TestTileServer::Request& request : server.Requests()) {
        EXPECT_EQ(request.Path.toStdString(), "/tile.ashx");
        EXPECT_EQ(request.UserAgent.toStdString(), "Quiltmap/1.0.0");
    }

    // Each square holds its own tile: top row Y0 + 1, west column X0.
    EXPECT_TRUE(Near(Square(0, 0), TestTileServer::TileColour(X0, Y0 + 1), 6)) << Text(Square(0, 0));
    EXPECT_TRUE(Near(Square(1, 0), TestTileServer::TileColour(X0 + 1, Y0 + 1), 6));
    EXPECT_TRUE(Near(Square(0, 1), TestTileServer::TileColour(X0, Y0), 6));
    EXPECT_TRUE(Near(Square(1, 1), TestTileServer::TileColour(X0 + 1, Y0), 6));
    EXPECT_EQ(maker->Picture().Map().size(), QSize(400, 400));

    const QStringList stored = {TileName(X0, Y0, "JPG"), TileName(X0, Y0 + 1, "JPG"),
                                TileName(X0 + 1, Y0, "JPG"), TileName(X0 + 1, Y0 + 1, "JPG")};
    EXPECT_EQ(Files(), stored);
    EXPECT_EQ(ReadTile(TileName(X0 + 1, Y0, "JPG")), TestTileServer::JpegTile(X0 + 1, Y0));

    EXPECT_EQ(SaveQuestions(), 1);
    EXPECT_FALSE(maker->Downloading());
    EXPECT_TRUE(form.InputsEnabled);
    EXPECT_EQ(form.DownloadCaption.toStdString(), "&Download");

    const auto& statuses = form.Statuses;
    const auto has = [&statuses](const char* text) {
        return std::find(statuses.begin(), statuses.end(), QString::fromUtf8(text)) !=
               statuses.end();
    };
    EXPECT_TRUE(has("tile 1 of 4"));
    EXPECT_TRUE(has("tile 4 of 4"));
    EXPECT_TRUE(has("Attempting to connect to - 127.0.0.1"));
    EXPECT_TRUE(has("Request sent"));
}

TEST_F(FetchLoopTest, CachedMapIsPastedAndFinishedWithinTheFirstTick)
{
    for (int x = X0; x < X0 + 3; ++x)
        for (int y = Y0; y < Y0 + 2; ++y)
            WriteTile(TileName(x, y, "JPG"), TestTileServer::JpegTile(x, y));
    int ticks = 0;
    QObject::connect(&maker->FetchTimer(), &QTimer::timeout, [&ticks] { ++ticks; });

    ASSERT_TRUE(Download(3, 2));

    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(server.RequestCount(), 0);
    EXPECT_EQ(SaveQuestions(), 1);
    EXPECT_TRUE(Near(Square(2, 0), TestTileServer::TileColour(X0 + 2, Y0 + 1), 6));
    EXPECT_TRUE(Near(Square(2, 1), TestTileServer::TileColour(X0 + 2, Y0), 6));
    EXPECT_TRUE(Near(Square(0, 1), TestTileServer::TileColour(X0, Y0), 6));
}

TEST_F(FetchLoopTest, GifIsPreferredOverJpeg)
{
    // The two files of one tile differ in colour, so the map tells which one was used.
    WriteTile(TileName(X0, Y0, "JPG"), TestTileServer::JpegTile(X0 + 1, Y0 + 1));
    WriteTile(TileName(X0, Y0, "GIF"), TestTileServer::GifTile(X0, Y0));
    ASSERT_TRUE(Download(1, 1));
    EXPECT_EQ(Square(0, 0), TestTileServer::TileColour(X0, Y0)) << Text(Square(0, 0));
    EXPECT_EQ(server.RequestCount(), 0);
}

TEST_F(FetchLoopTest, DownloadedBodiesAreStoredUnderTheirRealType)
{
    server.SetAnswer(X0, Y0, TileAnswer::Gif());
    server.SetAnswer(X0 + 1, Y0, TileAnswer::Jpeg());
    ASSERT_TRUE(Download(2, 1));

    EXPECT_EQ(Files(), (QStringList{TileName(X0, Y0, "GIF"), TileName(X0 + 1, Y0, "JPG")}));
    EXPECT_EQ(ReadTile(TileName(X0, Y0, "GIF")), TestTileServer::GifTile(X0, Y0));
    EXPECT_EQ(ReadTile(TileName(X0 + 1, Y0, "JPG")), TestTileServer::JpegTile(X0 + 1, Y0));
    EXPECT_EQ(Square(0, 0), TestTileServer::TileColour(X0, Y0));
    EXPECT_TRUE(Near(Square(1, 0), TestTileServer::TileColour(X0 + 1, Y0), 6));
}

TEST_F(FetchLoopTest, BodySizesAroundTheLimitAndTheChunkSize)
{
    struct Case {
        int size;
        bool kept;
    };
    const Case cases[] = {{99, false}, {100, true}, {1024, true}, {1025, true}, {2048, true}};
    int x = X0;
    for (const Case& c : cases) {
        server.SetAnswer(x, Y0, TileAnswer::Body(PaddedGif(c.size)));
        ++x;
    }
    ASSERT_TRUE(Download(int16_t(std::size(cases)), 1));

    x = X0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        if (c.kept) {
            EXPECT_EQ(ReadTile(TileName(x, Y0, "GIF")), PaddedGif(c.size));
            // The 1x1 red tile sits at its square's top left corner.
            EXPECT_EQ(maker->Picture().Map().pixelColor((x - X0) * 200, 0), QColor(Qt::red));
        } else {
            EXPECT_FALSE(QFile::exists(library.filePath(TileName(x, Y0, "GIF"))));
            EXPECT_EQ(maker->Picture().Map().pixelColor((x - X0) * 200, 0), Blank);
        }
        EXPECT_FALSE(QFile::exists(library.filePath(TileName(x, Y0, "JPG"))));
        ++x;
    }
    EXPECT_EQ(Files().size(), 4);   // no partial files left behind
    EXPECT_TRUE(prompter.Texts(Kind::Timed).empty());
}

TEST_F(FetchLoopTest, BodyThatIsNoPictureIsNotKept)
{
    server.SetAnswer(X0, Y0, TileAnswer::Body(QByteArray(600, '<')));
    ASSERT_TRUE(Download(2, 1));
    EXPECT_EQ(Files(), QStringList{TileName(X0 + 1, Y0, "JPG")});
    EXPECT_EQ(Square(0, 0), Blank);
    EXPECT_TRUE(prompter.Texts(Kind::Timed).empty());
}

TEST_F(FetchLoopTest, TransferErrorsSkipTheTileWithTheTimedBoxAndGoOn)
{
    struct Case {
        TileAnswer answer;
        const char* message;
    };
    const Case cases[] = {
        {TileAnswer::Status(404), "An error occurred - 404 Not Found"},
        {TileAnswer::Status(503), "An error occurred - 503 Service Unavailable"},
        {TileAnswer::Dropped(), "An error occurred - 2 "},   // the transport error's own text follows
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        prompter.Log.clear();
        for (const QString& name : Files())
            QFile::remove(library.filePath(name));
        server.SetAnswer(X0 + 1, Y0, c.answer);

        ASSERT_TRUE(Download(3, 1));

        ASSERT_EQ(prompter.Texts(Kind::Timed).size(), 1u);
        const ScriptedPrompter::Shown& box = prompter.Log.front();
        EXPECT_EQ(box.kind, Kind::Timed);
        EXPECT_TRUE(box.text.startsWith(QString::fromUtf8(c.message))) << box.text.toStdString();
        EXPECT_EQ(box.seconds, 5);
        EXPECT_EQ(Files(), (QStringList{TileName(X0, Y0, "JPG"), TileName(X0 + 2, Y0, "JPG")}));
        EXPECT_EQ(Square(1, 0), Blank);
        EXPECT_TRUE(Near(Square(2, 0), TestTileServer::TileColour(X0 + 2, Y0), 6));
        EXPECT_EQ(SaveQuestions(), 1);
    }
}

TEST_F(FetchLoopTest, ServerThatNeverAnswersIsCutOffAfterTheTimeout)
{
    maker->SetTransferTimeout(300);
    server.SetAnswer(X0, Y0, TileAnswer::Hung());
    ASSERT_TRUE(Download(2, 1));

    EXPECT_EQ(prompter.Texts(Kind::Timed),
              std::vector<QString>{QStringLiteral("An error occurred - 4 The server did not answer in time.")});
    EXPECT_EQ(Files(), QStringList{TileName(X0 + 1, Y0, "JPG")});
    EXPECT_EQ(SaveQuestions(), 1);
}

TEST_F(FetchLoopTest, CancelDuringARequestAndStartAgain)
{
    server.SetDefaultAnswer(TileAnswer::Hung());
    QSignalSpy ended(maker.get(), &MapMaker::DownloadEnded);
    Begin(2, 2);
    EXPECT_EQ(form.DownloadCaption.toStdString(), "&Cancel");
    EXPECT_FALSE(form.InputsEnabled);
    QTRY_VERIFY_WITH_TIMEOUT(server.ActiveCount() == 1, WaitMs);

    maker->PressOk();

    EXPECT_FALSE(maker->Downloading());
    EXPECT_EQ(form.DownloadCaption.toStdString(), "&Download");
    EXPECT_TRUE(form.InputsEnabled);
    EXPECT_EQ(ended.count(), 1);
    EXPECT_EQ(SaveQuestions(), 0);
    EXPECT_TRUE(Files().isEmpty());

    server.SetDefaultAnswer(TileAnswer::Jpeg());
    ASSERT_TRUE(Download(1, 1));
    EXPECT_EQ(server.Queries().back(), Query(X0, Y0));
    EXPECT_EQ(Files(), QStringList{TileName(X0, Y0, "JPG")});
    EXPECT_EQ(SaveQuestions(), 1);
    EXPECT_TRUE(prompter.Texts(Kind::Timed).empty());
}

TEST_F(FetchLoopTest, DamagedCachedTileIsSkippedAndDeleted)
{
    WriteTile(TileName(X0, Y0, "JPG"), QByteArray(500, 'd'));
    ASSERT_TRUE(Download(2, 1));

    EXPECT_EQ(server.Queries(), std::vector<QString>{Query(X0 + 1, Y0)});
    EXPECT_EQ(Files(), QStringList{TileName(X0 + 1, Y0, "JPG")});
    EXPECT_EQ(Square(0, 0), Blank);
    EXPECT_EQ(SaveQuestions(), 1);
    EXPECT_TRUE(prompter.Texts(Kind::Timed).empty());
}

TEST_F(FetchLoopTest, MissingTileLibraryFolderSkipsTilesSilently)
{
    maker->SetTileLibraryFolder(library.filePath(QStringLiteral("gone")) + QLatin1Char('/'));
    ASSERT_TRUE(Download(2, 1));
    EXPECT_EQ(server.RequestCount(), 2);
    EXPECT_EQ(Square(0, 0), Blank);
    EXPECT_EQ(prompter.Log.size(), 1u);   // only the save question
}

TEST_F(FetchLoopTest, YesSavesTheMapWithTheGridsCorners)
{
    WriteTile(TileName(X0, Y0, "GIF"), TestTileServer::GifTile(X0, Y0));
    maker->SetFileNameOption(0);
    prompter.Answers = {true};
    QSignalSpy saved(maker.get(), &MapMaker::MapSaved);

    ASSERT_TRUE(Download(1, 1));

    const QString base = maps.filePath(QStringLiteral("Lake Union"));
    ASSERT_EQ(saved.count(), 1);
    EXPECT_EQ(saved.at(0).at(0).toString(), base);
    QFile inf(base + QStringLiteral(".INF"));
    ASSERT_TRUE(inf.open(QIODevice::ReadOnly));
    EXPECT_EQ(inf.readAll().toStdString(),
              "122.21.074W,47.39.059N\r\n122.17.059W,47.36.326N\r\nLake Union\r\n");
    const QImage picture(base + QStringLiteral(".JPG"));
    ASSERT_EQ(picture.size(), QSize(200, 200));
    EXPECT_TRUE(Near(picture.pixelColor(100, 100), TestTileServer::TileColour(X0, Y0), 6));
}

TEST_F(FetchLoopTest, StopAtExitLeavesNoTileAndNoQuestion)
{
    server.SetDefaultAnswer(TileAnswer::Hung());
    Begin(1, 1);
    QTRY_VERIFY_WITH_TIMEOUT(server.ActiveCount() == 1, WaitMs);
    maker->StopAtExit();
    EXPECT_FALSE(maker->Downloading());
    EXPECT_FALSE(maker->FetchTimer().isActive());
    EXPECT_TRUE(Files().isEmpty());
    EXPECT_TRUE(prompter.Log.empty());
}


// From the fields of the window to the saved map, through the request checks and the grid.
TEST_F(FetchLoopTest, PressOkDownloadsTheRequestedGridAndSavesIt)
{
    form.Texts[MapForm::Field::Latitude] = QStringLiteral("47.36.37");
    form.Texts[MapForm::Field::Longitude] = QStringLiteral("122.21.07");
    form.Texts[MapForm::Field::Description] = QStringLiteral("Lake Union");
    form.Lists.ScaleIndex = 2;
    form.Lists.WidthIndex = 1;
    form.Lists.HeightIndex = 1;
    form.Lists.TypeIndex = 1;
    maker->SetFileNameOption(0);
    prompter.DefaultAnswer = true;
    QSignalSpy ended(maker.get(), &MapMaker::DownloadEnded);
    QSignalSpy saved(maker.get(), &MapMaker::MapSaved);

    maker->PressOk();
    ASSERT_TRUE(maker->Downloading());
    ASSERT_TRUE(ended.wait(WaitMs));

    const TileGrid& grid = maker->Grid();
    EXPECT_EQ(grid.Zone, 10);
    const auto query = [&grid](int column, int row) {
        return QStringLiteral("T=2&S=12&X=%1&Y=%2&Z=10")
            .arg(grid.FirstTileX + column)
            .arg(grid.FirstTileY + row);
    };
    EXPECT_EQ(server.Queries(),
              (std::vector<QString>{query(0, 1), query(1, 1), query(0, 0), query(1, 0)}));
    EXPECT_TRUE(Near(Square(1, 1), TestTileServer::TileColour(grid.FirstTileX + 1, grid.FirstTileY), 6));
    ASSERT_EQ(saved.count(), 1);
    EXPECT_EQ(saved.at(0).at(0).toString(), maps.filePath(QStringLiteral("Lake Union")));
    EXPECT_TRUE(QFile::exists(maps.filePath(QStringLiteral("Lake Union.JPG"))));
    EXPECT_TRUE(QFile::exists(maps.filePath(QStringLiteral("Lake Union.INF"))));
}

}  // namespace
