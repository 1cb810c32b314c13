#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "FakeMapForm.h"
#include "MessageBoxPrompter.h"
#include "TimedMsgBox.h"
#include "Inet.h"
#include "MapMaker.h"
#include "MapRequest.h"
#include "MapSaver.h"
#include "ScriptedPrompter.h"
#include "TestFiles.h"
#include "TestTileServer.h"

namespace {

using Kind = ScriptedPrompter::Kind;

constexpr int X0 = 622;
constexpr int Y0 = 5500;
const QColor Blank(Qt::white);
const QString SaveQuestion = "Do you want to save the map?";

QString Query(int x, int y) { return QString("T=1&S=12&X=%1&Y=%2&Z=13").arg(x).arg(y); }
QString TileName(int x, int y, const char* extension) { return QString("1-12-13-%1-%2.%3").arg(x).arg(y).arg(extension); }

// A 1x1 red GIF of 35 bytes, padded after its end to `size` bytes.
QByteArray PaddedGif(int size)
{
    return QByteArray::fromHex("47494638396101000100800000ff0000000000"
                               "2c00000000010001000002024401003b")
        .leftJustified(size, '\0');
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
        ASSERT_TRUE(server.Start() && library.isValid() && maps.isValid());
        for (MapMaker* each : {&maker, &boxMaker}) {
            each->SetTileLibraryFolder(library.path() + QLatin1Char('/'));
            each->SetMapsFolder(maps.path() + QLatin1Char('/'));
            each->SetTileServer(server.BaseUrl());
        }
        prompter.DefaultAnswer = false;   // no map is saved unless a test says so
    }

    // Starts a download and, unless told not to, waits for its end: false when it did not end.
    bool Download(int wide, int high, bool wait = true) { return Download(maker, wide, high, wait); }
    bool Download(MapMaker& maker, int wide, int high, bool wait = true)
    {
        MapRequest request;
        request.TilesWide = int16_t(wide), request.TilesHigh = int16_t(high), request.Description = "Lake Union";
        TileGrid grid;
        grid.ScaleCode = 12, grid.FirstTileX = X0, grid.FirstTileY = Y0, grid.Zone = 13;
        grid.BottomLeft.Latitude = 47.605432, grid.BottomLeft.Longitude = -122.351234;
        grid.TopRight.Latitude = 47.650987, grid.TopRight.Longitude = -122.284321;
        QSignalSpy ended(&maker, &MapMaker::DownloadEnded);
        maker.BeginDownload(request, grid);
        return !wait || ended.wait(20000);
    }

    QStringList Files() const { return QDir(library.path()).entryList(QDir::Files | QDir::Hidden); }
    // A pixel of a tile's square, rows counted from the top of the map; the middle by default.
    QColor Square(int column, int row, int offset = 100) { return maker.Picture().Map().pixelColor(column * 200 + offset, row * 200 + offset); }
    bool Shows(int column, int row, int x, int y) { return TestTileServer::Near(Square(column, row), TestTileServer::TileColour(x, y)); }
    bool OnlyAskedToSave() const { return prompter.Log.size() == 1 && prompter.Texts(Kind::YesNo) == std::vector<QString>{SaveQuestion}; }

    TestTileServer server;   // outlives the maker, whose connections it serves
    QTemporaryDir library;
    QTemporaryDir maps;
    ProgressForm form;
    ScriptedPrompter prompter;
    MapMaker maker{form, prompter};
    MessageBoxPrompter boxes{nullptr};  // the message boxes the program shows
    MapMaker boxMaker{form, boxes};
};

TEST_F(FetchLoopTest, TakesRowsFromTheTopWestToEastComposesThemAndSaves)
{
    maker.SetFileNameOption(0);
    prompter.Answers = {true};
    QSignalSpy saved(&maker, &MapMaker::MapSaved);
    ASSERT_TRUE(Download(2, 2));

    EXPECT_EQ(server.Queries(), (std::vector<QString>{Query(X0, Y0 + 1), Query(X0 + 1, Y0 + 1),
                                                      Query(X0, Y0), Query(X0 + 1, Y0)}));
    EXPECT_EQ(server.Requests().front().UserAgent, "Quiltmap/1.0.0");
    for (int column = 0; column < 2; ++column)
        for (int row = 0; row < 2; ++row)
            EXPECT_TRUE(Shows(column, row, X0 + column, Y0 + 1 - row)) << column << "," << row;
    EXPECT_EQ(form.Progress, (std::vector<QString>{"tile 1 of 4", "tile 2 of 4", "tile 3 of 4", "tile 4 of 4", ""}));
    EXPECT_EQ(prompter.Texts(Kind::YesNo), std::vector<QString>{SaveQuestion});
    ASSERT_EQ(saved.count(), 1);
    EXPECT_EQ(ReadFile(maps.filePath("Lake Union.INF")),
              "122.21.074W,47.39.059N\r\n122.17.059W,47.36.326N\r\nLake Union\r\n");
}

TEST_F(FetchLoopTest, StoredTilesArePastedWithinTheFirstTickGifFirstAndDamagedOnesDeleted)
{
    ASSERT_TRUE(Download(3, 2));
    ASSERT_TRUE(WriteFile(library.filePath(TileName(X0, Y0, "GIF")), PaddedGif(100)));
    ASSERT_TRUE(WriteFile(library.filePath(TileName(X0 + 2, Y0 + 1, "JPG")), QByteArray(500, 'd')));
    prompter.Log.clear();
    QSignalSpy ticks(&maker.FetchTimer(), &QTimer::timeout);

    ASSERT_TRUE(Download(3, 2));

    EXPECT_EQ(std::tuple(ticks.count(), server.RequestCount()), std::tuple(1, 6));
    EXPECT_TRUE(OnlyAskedToSave());
    EXPECT_EQ(Square(0, 1, 0), QColor(Qt::red));
    EXPECT_TRUE(Shows(1, 1, X0 + 1, Y0));
    EXPECT_EQ(Square(2, 0), Blank);
    EXPECT_FALSE(QFile::exists(library.filePath(TileName(X0 + 2, Y0 + 1, "JPG"))));
}

TEST_F(FetchLoopTest, BodiesAreStoredWholeUnderTheirRealTypeOrNotAtAll)
{
    // Empty extension: nothing stored; corner: the top left pixel of the tile's square.
    const struct { QByteArray body; const char* extension; QColor corner; } cases[] = {
        {TestTileServer::JpegTile(X0, Y0), "JPG", TestTileServer::TileColour(X0, Y0)},
        {PaddedGif(99), "", Blank},
        {PaddedGif(100), "GIF", Qt::red},
        {PaddedGif(1024), "GIF", Qt::red},
        {PaddedGif(1025), "GIF", Qt::red},
        {QByteArray(600, '<'), "", Blank},   // no picture
    };
    const int count = int(std::size(cases));
    for (int i = 0; i < count; ++i)
        server.SetAnswer(X0 + i, Y0, TileAnswer::Body(cases[i].body));
    ASSERT_TRUE(Download(count, 1));

    QStringList stored;
    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE(i);
        if (*cases[i].extension) {
            stored << TileName(X0 + i, Y0, cases[i].extension);
            EXPECT_EQ(ReadFile(library.filePath(stored.last())), cases[i].body);
        }
        EXPECT_TRUE(TestTileServer::Near(Square(i, 0, 0), cases[i].corner));
    }
    EXPECT_EQ(Files(), stored);   // and no partial files
    EXPECT_TRUE(OnlyAskedToSave());
}

// Three failures alike: asked once whether to go on; No ends the download, and no tile, no map.
TEST_F(FetchLoopTest, ThreeFailuresAlikeAskOnceAndNoTileSavesNothing)
{
    server.SetDefaultAnswer(TileAnswer::Status(404));
    ASSERT_TRUE(Download(2, 2) && prompter.Log.size() == 5u);
    EXPECT_TRUE(prompter.Log[3].question == Question::GoOnAfterFailures && prompter.Log[3].text.endsWith("other 1?"));
    EXPECT_EQ(prompter.Log[4].text, NoTileText());
    EXPECT_EQ(server.RequestCount(), 3);
}

TEST_F(FetchLoopTest, FailedTilesAreSkippedWithTheTimedBoxAndTheNextOneFetched)
{
    const std::pair<TileAnswer, const char*> cases[] = {
        {TileAnswer::Status(404), "An error occurred - 404 Not Found"},
        {TileAnswer::Dropped(), "An error occurred - 2 "},   // the transport's own text follows
        {TileAnswer::Body(QByteArray(Inet::MaxBodyBytes + 1, 'x')),
         "An error occurred - 299 The answer is too large to be a tile."},
        {TileAnswer::Hung(), "An error occurred - 4 The server did not answer in time."},
    };
    for (int i = 0; i < 4; ++i)
        server.SetAnswer(X0 + i, Y0, cases[i].first);
    maker.SetTransferTimeout(3000);
    ASSERT_TRUE(Download(5, 1));

    ASSERT_EQ(prompter.Log.size(), 5u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(prompter.Log[i].text.startsWith(cases[i].second)) << prompter.Log[i].text.toStdString();
        EXPECT_EQ(std::tuple(prompter.Log[i].kind, prompter.Log[i].seconds), std::tuple(Kind::Timed, 5));
    }
    EXPECT_EQ(Files(), QStringList{TileName(X0 + 4, Y0, "JPG")});
}

// As the program shows it: the real self-closing box, and no further tile while it is open.
TEST_F(FetchLoopTest, ATransferErrorShowsTheSelfClosingBoxAndTheLoopWaitsForIt)
{
    server.SetAnswer(X0, Y0, TileAnswer::Status(404));
    SetTimedMsgBoxTickInterval(100);  // long enough that the poll sees every count under load
    QString title, text, question;
    int requestsWhileOpen = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QMessageBox* box = TimedMsgBoxWindow(); box && box->isVisible()) {
            if (text.isEmpty())
                title = box->windowTitle(), text = box->text();
            requestsWhileOpen = qMax(requestsWhileOpen, server.RequestCount());
        } else if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            question = box->text();
            box->button(QMessageBox::No)->click();
        }
    });
    poll.start(0);
    ASSERT_TRUE(Download(boxMaker, 2, 1));
    SetTimedMsgBoxTickInterval(0);

    EXPECT_EQ(text, "An error occurred - 404 Not Found\n\n(This message box will close in 5 seconds.)");
    EXPECT_EQ(requestsWhileOpen, 1) << "the next tile was asked for while the box was open";
    EXPECT_EQ(std::tuple(title, server.RequestCount()), std::tuple("Quiltmap", 2));
    EXPECT_EQ(question, SaveQuestion);
}

TEST_F(FetchLoopTest, CancelDuringARequestAsksNothingAndTheNextDownloadWorks)
{
    server.SetDefaultAnswer(TileAnswer::Hung());
    QSignalSpy ended(&maker, &MapMaker::DownloadEnded);
    Download(2, 2, false);
    ASSERT_TRUE(QTest::qWaitFor([this] { return server.ActiveCount() == 1; }, 20000));

    maker.PressOk();

    EXPECT_EQ(std::tie(form.DownloadCaption, form.InputsEnabled, form.Progress.back(), form.Statuses.back()),
              std::make_tuple("&Download", true, "", "Download cancelled."));
    EXPECT_TRUE(ended.count() == 1 && prompter.Log.empty());

    server.SetDefaultAnswer(TileAnswer::Jpeg());
    ASSERT_TRUE(Download(1, 1));
    EXPECT_EQ(Files(), QStringList{TileName(X0, Y0, "JPG")});
    EXPECT_TRUE(OnlyAskedToSave());
}

// 2x2 tiles at 1 m centred on 47 N 122 W: the meridian of 122 W, a square edge, crosses column 225
// near the map's top. The squares go into the map only when asked; off, the tiles are untouched.
TEST_F(FetchLoopTest, GridSquaresGoIntoTheFinishedMapOnlyWhenAsked)
{
    MapRequest request;
    TileGrid grid;
    ASSERT_TRUE(BuildTileGrid(ListChoices{.ScaleIndex = 0, .WidthIndex = 1, .HeightIndex = 1}, 47, -122, request, grid));
    for (const bool on : {false, true}) {
        maker.SetDrawGridSquares(on);
        QSignalSpy ended(&maker, &MapMaker::DownloadEnded);
        maker.BeginDownload(request, grid);
        ASSERT_TRUE(ended.wait(20000));
        const QColor tile = TestTileServer::TileColour(grid.FirstTileX + 1, grid.FirstTileY + 1);
        int changed = 0;
        for (int x = 200; x < 400; ++x) changed += !TestTileServer::Near(maker.Picture().Map().pixelColor(x, 100), tile);
        EXPECT_EQ(std::tuple(changed > 0, maker.Picture().Map().pixelColor(225, 100).blue() < 100), std::tuple(on, on));
    }
}

}  // namespace
