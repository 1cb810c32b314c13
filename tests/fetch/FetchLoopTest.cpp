#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "FakeMapForm.h"
#include "Inet.h"
#include "MapMaker.h"
#include "ScriptedPrompter.h"
#include "TestFiles.h"
#include "TestTileServer.h"

namespace {

using Kind = ScriptedPrompter::Kind;

constexpr int X0 = 622;
constexpr int Y0 = 5500;
constexpr int WaitMs = 20000;
const QColor Blank(Qt::white);
const QString SaveQuestion = QStringLiteral("Do you want to save the map?");

QString Query(int x, int y)
{
    return QStringLiteral("T=1&S=12&X=%1&Y=%2&Z=13").arg(x).arg(y);
}

QString TileName(int x, int y, const char* extension)
{
    return QStringLiteral("1-12-13-%1-%2.%3").arg(x).arg(y).arg(QLatin1String(extension));
}

// A 1x1 red GIF of 35 bytes, padded after its end to `size` bytes.
QByteArray PaddedGif(int size)
{
    return QByteArray::fromHex("47494638396101000100800000ff0000000000"
                               "2c00000000010001000002024401003b")
        .leftJustified(size, '\0');
}

// Equal but for JPEG's rounding.
bool Near(const QColor& actual, const QColor& expected)
{
    return qAbs(actual.red() - expected.red()) <= 6 &&
           qAbs(actual.green() - expected.green()) <= 6 && qAbs(actual.blue() - expected.blue()) <= 6;
}

// Keeps the download's progress apart from the transfer statuses.
struct ProgressForm : FakeMapForm {
    std::vector<QString> Progress;
    void ShowProgress(const QString& text) override { Progress.push_back(text); }
};

class FetchLoopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.Start());
        ASSERT_TRUE(library.isValid() && maps.isValid());
        maker.SetTileLibraryFolder(library.path() + QLatin1Char('/'));
        maker.SetMapsFolder(maps.path() + QLatin1Char('/'));
        maker.SetTileServer(server.BaseUrl());
        prompter.DefaultAnswer = false;   // no map is saved unless a test says so
    }

    void Begin(int16_t wide, int16_t high)
    {
        MapRequest request;
        request.TilesWide = wide;
        request.TilesHigh = high;
        request.Description = QStringLiteral("Lake Union");
        TileGrid grid;
        grid.ScaleCode = 12;
        grid.FirstTileX = X0;
        grid.FirstTileY = Y0;
        grid.Zone = 13;
        grid.BottomLeft.Latitude = 47.605432;
        grid.BottomLeft.Longitude = -122.351234;
        grid.TopRight.Latitude = 47.650987;
        grid.TopRight.Longitude = -122.284321;
        maker.BeginDownload(request, grid);
    }
    // Runs one download to its end; false when it did not end in time.
    bool Download(int16_t wide, int16_t high)
    {
        QSignalSpy ended(&maker, &MapMaker::DownloadEnded);
        Begin(wide, high);
        return ended.wait(WaitMs);
    }

    QString Tile(int x, int y, const char* extension) const
    {
        return library.filePath(TileName(x, y, extension));
    }
    QStringList Files() const
    {
        return QDir(library.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    // The colour in the middle of a tile's square, rows counted from the top of the map.
    QColor Square(int column, int row)
    {
        return maker.Picture().Map().pixelColor(column * 200 + 100, row * 200 + 100);
    }
    bool Shows(int column, int row, int x, int y)
    {
        return Near(Square(column, row), TestTileServer::TileColour(x, y));
    }
    bool OnlyAskedToSave() const
    {
        return prompter.Log.size() == 1 && prompter.Log[0].kind == Kind::YesNo &&
               prompter.Log[0].text == SaveQuestion;
    }

    TestTileServer server;   // outlives the maker, whose connections it serves
    QTemporaryDir library;
    QTemporaryDir maps;
    ProgressForm form;
    ScriptedPrompter prompter;
    MapMaker maker{form, prompter};
};

TEST_F(FetchLoopTest, TakesRowsFromTheTopWestToEastComposesThemAndSaves)
{
    maker.SetFileNameOption(0);
    prompter.Answers = {true};
    QSignalSpy saved(&maker, &MapMaker::MapSaved);
    ASSERT_TRUE(Download(2, 2));

    EXPECT_EQ(server.Queries(), (std::vector<QString>{Query(X0, Y0 + 1), Query(X0 + 1, Y0 + 1),
                                                      Query(X0, Y0), Query(X0 + 1, Y0)}));
    EXPECT_EQ(server.Requests().front().UserAgent, QStringLiteral("Quiltmap/1.0.0"));
    for (int column = 0; column < 2; ++column)
        for (int row = 0; row < 2; ++row)
            EXPECT_TRUE(Shows(column, row, X0 + column, Y0 + 1 - row)) << column << "," << row;
    EXPECT_EQ(Files().size(), 4);

    EXPECT_EQ(form.Progress, (std::vector<QString>{"tile 1 of 4", "tile 2 of 4", "tile 3 of 4",
                                                   "tile 4 of 4", ""}));
    EXPECT_EQ(form.Statuses.back(), QStringLiteral("All 4 tiles done."));

    EXPECT_EQ(prompter.Texts(Kind::YesNo), std::vector<QString>{SaveQuestion});
    ASSERT_EQ(saved.count(), 1);
    EXPECT_EQ(ReadFile(maps.filePath(QStringLiteral("Lake Union.INF"))),
              "122.21.074W,47.39.059N\r\n122.17.059W,47.36.326N\r\nLake Union\r\n");
}

TEST_F(FetchLoopTest, CachedTilesArePastedWithinTheFirstTickGifBeforeJpeg)
{
    for (int x = X0; x < X0 + 3; ++x)
        for (int y = Y0; y < Y0 + 2; ++y)
            ASSERT_TRUE(WriteFile(Tile(x, y, "JPG"), TestTileServer::JpegTile(x, y)));
    // This GIF's colour differs from its JPEG twin's, so the map tells which one was taken.
    ASSERT_TRUE(WriteFile(Tile(X0, Y0, "GIF"), TestTileServer::GifTile(X0 + 1, Y0 + 1)));
    int ticks = 0;
    QObject::connect(&maker.FetchTimer(), &QTimer::timeout, [&ticks] { ++ticks; });

    ASSERT_TRUE(Download(3, 2));

    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(server.RequestCount(), 0);
    EXPECT_TRUE(OnlyAskedToSave());
    EXPECT_TRUE(Shows(0, 1, X0 + 1, Y0 + 1));
    EXPECT_TRUE(Shows(2, 0, X0 + 2, Y0 + 1));
    EXPECT_TRUE(Shows(2, 1, X0 + 2, Y0));
}

TEST_F(FetchLoopTest, BodiesAreStoredWholeUnderTheirRealTypeOrNotAtAll)
{
    struct Case {
        TileAnswer answer;
        const char* extension;   // empty: nothing stored
        QByteArray stored;
        QColor corner;           // the top left pixel of the tile's square
    };
    const Case cases[] = {
        {TileAnswer::Gif(), "GIF", TestTileServer::GifTile(X0, Y0), TestTileServer::TileColour(X0, Y0)},
        {TileAnswer::Jpeg(), "JPG", TestTileServer::JpegTile(X0 + 1, Y0),
         TestTileServer::TileColour(X0 + 1, Y0)},
        {TileAnswer::Body(PaddedGif(99)), "", {}, Blank},
        {TileAnswer::Body(PaddedGif(100)), "GIF", PaddedGif(100), Qt::red},
        {TileAnswer::Body(PaddedGif(1024)), "GIF", PaddedGif(1024), Qt::red},
        {TileAnswer::Body(PaddedGif(1025)), "GIF", PaddedGif(1025), Qt::red},
        {TileAnswer::Body(QByteArray(600, '<')), "", {}, Blank},   // no picture
    };
    const int count = int(std::size(cases));
    for (int i = 0; i < count; ++i)
        server.SetAnswer(X0 + i, Y0, cases[i].answer);
    ASSERT_TRUE(Download(int16_t(count), 1));

    QStringList stored;
    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE(i);
        if (*cases[i].extension) {
            stored << TileName(X0 + i, Y0, cases[i].extension);
            EXPECT_EQ(ReadFile(Tile(X0 + i, Y0, cases[i].extension)), cases[i].stored);
        }
        EXPECT_TRUE(Near(maker.Picture().Map().pixelColor(i * 200, 0), cases[i].corner));
    }
    stored.sort();
    EXPECT_EQ(Files(), stored);   // and no partial files
    EXPECT_TRUE(OnlyAskedToSave());
}

TEST_F(FetchLoopTest, FailedTileIsSkippedWithTheTimedBoxAndTheNextOneFetched)
{
    struct Case {
        TileAnswer answer;
        int timeoutMs;
        const char* message;
    };
    const Case cases[] = {
        {TileAnswer::Status(404), 60000, "An error occurred - 404 Not Found"},
        {TileAnswer::Dropped(), 60000, "An error occurred - 2 "},   // the transport's own text follows
        {TileAnswer::Hung(), 2000, "An error occurred - 4 The server did not answer in time."},
        {TileAnswer::Body(QByteArray(Inet::MaxBodyBytes + 1, 'x')), 60000,
         "An error occurred - 299 The answer is too large to be a tile."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        prompter.Log.clear();
        for (const QString& name : Files())
            QFile::remove(library.filePath(name));
        server.SetAnswer(X0 + 1, Y0, c.answer);
        maker.SetTransferTimeout(c.timeoutMs);

        ASSERT_TRUE(Download(3, 1));

        ASSERT_EQ(prompter.Log.size(), 2u);
        EXPECT_EQ(prompter.Log[0].kind, Kind::Timed);
        EXPECT_TRUE(prompter.Log[0].text.startsWith(QLatin1String(c.message)))
            << prompter.Log[0].text.toStdString();
        EXPECT_EQ(prompter.Log[0].seconds, 5);
        EXPECT_EQ(Files(), (QStringList{TileName(X0, Y0, "JPG"), TileName(X0 + 2, Y0, "JPG")}));
        EXPECT_EQ(Square(1, 0), Blank);
    }
}

TEST_F(FetchLoopTest, CancelDuringARequestAsksNothingAndTheNextDownloadWorks)
{
    server.SetDefaultAnswer(TileAnswer::Hung());
    QSignalSpy ended(&maker, &MapMaker::DownloadEnded);
    Begin(2, 2);
    EXPECT_EQ(form.DownloadCaption, QStringLiteral("&Cancel"));
    EXPECT_FALSE(form.InputsEnabled);
    ASSERT_TRUE(QTest::qWaitFor([this] { return server.ActiveCount() == 1; }, WaitMs));

    maker.PressOk();

    EXPECT_EQ(form.DownloadCaption, QStringLiteral("&Download"));
    EXPECT_TRUE(form.InputsEnabled);
    EXPECT_EQ(ended.count(), 1);
    EXPECT_EQ(form.Progress.back(), QString());
    EXPECT_EQ(form.Statuses.back(), QStringLiteral("Download cancelled."));
    EXPECT_TRUE(prompter.Log.empty());
    EXPECT_TRUE(Files().isEmpty());

    server.SetDefaultAnswer(TileAnswer::Jpeg());
    ASSERT_TRUE(Download(1, 1));
    EXPECT_EQ(server.Queries().back(), Query(X0, Y0));
    EXPECT_EQ(Files(), QStringList{TileName(X0, Y0, "JPG")});
    EXPECT_TRUE(OnlyAskedToSave());
}

TEST_F(FetchLoopTest, DamagedCachedTileIsSkippedAndDeleted)
{
    ASSERT_TRUE(WriteFile(Tile(X0, Y0, "JPG"), QByteArray(500, 'd')));
    ASSERT_TRUE(Download(2, 1));

    EXPECT_EQ(server.Queries(), std::vector<QString>{Query(X0 + 1, Y0)});
    EXPECT_EQ(Files(), QStringList{TileName(X0 + 1, Y0, "JPG")});
    EXPECT_EQ(Square(0, 0), Blank);
    EXPECT_TRUE(OnlyAskedToSave());
}

}  // namespace
