#include <QDir>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "MapRequest.h"
#include "MapSaver.h"
#include "ProgramFolder.h"
#include "QuiltmapMake.h"
#include "TestFiles.h"
#include "TestTileServer.h"
#include "TileLibrary.h"

namespace {

// Seattle, 2 x 2 tiles at 4 metres a pixel: the arguments and the same request as the window's lists.
const QStringList Seattle = {"--lat", "47.36.37", "--long", "122.21.07", "--tiles", "2x2", "--metres", "4"};

struct Outcome { int status = -1; QString out, err; };

class QuiltmapMakeTest : public ::testing::Test {
protected:
    QTemporaryDir program;
    TestTileServer server;
    QString library = program.path() + "/Tile Library/";
    QString maps = program.path() + "/Maps/";

    void SetUp() override
    {
        ASSERT_TRUE(program.isValid() && server.Start());
        OverrideProgramFolder(program.path());
        qputenv("WINEPREFIX", (program.path() + "/no-wine").toUtf8());   // no Corvane32
    }
    void TearDown() override { OverrideProgramFolder(QString()), qunsetenv("WINEPREFIX"); }

    Outcome Make(QStringList arguments, bool withServer = true)
    {
        if (withServer)
            arguments << "--tile-server" << server.BaseUrl().toString();
        Outcome run;
        MakeOutput output;
        output.Out = [&run](const QString& text) { run.out += text; };
        output.Err = [&run](const QString& text) { run.err += text; };
        run.status = RunQuiltmapMake(arguments, output);
        return run;
    }

    // The grid the window would make of the same choices (2 x 2 at 4 m, photo, centre).
    TileGrid SeattleGrid()
    {
        ListChoices lists{2, 1, 1, 0, true};
        MapRequest request;
        TileGrid grid;
        EXPECT_TRUE(BuildTileGrid(lists, 47 + 36.37 / 60, -(122 + 21.07 / 60), request, grid));
        return grid;
    }

    // Puts the grid's tiles into the tile library, each in the test server's colour.
    void CacheTiles(const TileGrid& grid)
    {
        for (int k = 0; k < 4; ++k) {
            const TileAddress key{1, grid.ScaleCode, grid.Zone, grid.FirstTileX + k % 2, grid.FirstTileY + k / 2};
            ASSERT_TRUE(WriteFile(TileFileBaseName(library, key) + ".JPG", TestTileServer::JpegTile(key.X, key.Y)));
        }
    }
};

TEST_F(QuiltmapMakeTest, BadArgumentsAreRefusedWithTheUsageAndNothingIsTouched)
{
    const QString longText(31, u'x');
    const struct { QStringList arguments; const char* message; } cases[] = {
        {{}, "Give the map's point: --lat and --long, or --locator."},
        {{"--lat", "47", "--long", "180.01"}, "--long 180.01: I can't make that into a valid longitude."},
        {{"--lat", "47", "--long", "122", "--locator", "CN87"}, "Give either --lat and --long or --locator, not both."},
        {{"--locator", "CN87", "--metres", "1"}, "--locator CN87: no map at --metres 1 covers the whole grid square"},
        {Seattle + QStringList{"--tiles", "9x1"}, "--tiles is given more than once."},
        {{"--lat", "47", "--long", "122", "--tiles", "9x1"}, "--tiles 9x1: give the map's width and height in tiles"},
        {{"--lat", "47", "--long", "122", "--metres", "3"}, "--metres 3: give the metres per pixel as one of 1, 2, 4"},
        {{"--lat", "47", "--long", "122", "--description", longText}, "--description: at most 30 characters"},
        {{"--lat", "47", "--long", "122", "--bogus"}, "Unknown option 'bogus'."},
    };
    for (const auto& c : cases) {
        const Outcome run = Make(c.arguments, false);
        EXPECT_TRUE(run.status == MakeBadArguments && run.out.isEmpty() && run.err.startsWith("quiltmap-make: ") &&
                    run.err.contains(c.message) && run.err.contains("\n\nUsage: quiltmap-make (--lat DD.MM.HH"))
            << c.arguments.join(' ').toStdString() << "\n" << run.err.toStdString();
    }
    EXPECT_EQ(server.RequestCount(), 0);
    EXPECT_FALSE(QFileInfo::exists(maps));
}

// All tiles in the tile library: no request, the window's files, a line of progress per tile.
TEST_F(QuiltmapMakeTest, MakesTheMapFromTheTileLibraryWithoutTheServer)
{
    const TileGrid grid = SeattleGrid();
    CacheTiles(grid);
    const Outcome run = Make(Seattle, false);
    // The window's default description: the texts as typed.
    const QString base = maps + "47.36.37N122.21.07 (centre)";
    EXPECT_EQ(std::tuple(run.status, run.out, run.err, server.RequestCount()),
              std::tuple(MakeOk, base + ".JPG\n", "tile 1 of 4\ntile 2 of 4\ntile 3 of 4\ntile 4 of 4\n", 0));

    QString north, west, south, east;
    FormatLatLong(grid.TopRight.Latitude, grid.BottomLeft.Longitude, north, west);
    FormatLatLong(grid.BottomLeft.Latitude, grid.TopRight.Longitude, south, east);
    EXPECT_EQ(ReadFile(base + ".INF"),
              (west + "," + north + "\r\n" + east + "," + south + "\r\n47.36.37N/122.21.07 (centre)\r\n").toLatin1());
    EXPECT_EQ(QImageReader(base + ".JPG").size(), QSize(400, 400));
}

TEST_F(QuiltmapMakeTest, AnExistingMapIsKeptWithoutOverwrite)
{
    CacheTiles(SeattleGrid());
    ASSERT_TRUE(WriteFile(maps + "Home.INF", "old"));
    const Outcome refused = Make(Seattle + QStringList{"--description", "Home"});
    EXPECT_TRUE(refused.status == MakeMapExists && refused.err.contains("a map called 'Home' already exists")) << refused.err.toStdString();
    EXPECT_TRUE(ReadFile(maps + "Home.INF") == "old" && !QFileInfo::exists(maps + "Home.JPG"));
    EXPECT_EQ(Make(Seattle + QStringList{"--description", "Home", "--overwrite"}).status, MakeOk);
    EXPECT_TRUE(ReadFile(maps + "Home.INF").endsWith("Home\r\n"));
}

// Tiles that cannot be had: no map without any; an existing map kept unless --allow-missing;
// three failures alike in a row stop the run with that error.
TEST_F(QuiltmapMakeTest, MissingTilesAndFailuresAlike)
{
    const TileGrid grid = SeattleGrid();
    const int x = grid.FirstTileX, y = grid.FirstTileY;
    const std::vector<std::pair<int, int>> all;   // every tile
    const struct { QStringList more; std::vector<std::pair<int, int>> failing; int status, requests; const char* said; QByteArray inf; } cases[] = {
        {{"--tiles", "2x1", "--overwrite"}, all, MakeNotFetched, 2, "quiltmap-make: no map saved: no tile could be had\n", "old"},
        {{"--tiles", "2x2", "--overwrite"}, all, MakeNotFetched, 3,
         "quiltmap-make: stopped: 3 tiles in a row failed with An error occurred - 500", "old"},
        {{"--tiles", "2x2", "--overwrite"}, {{x, y + 1}, {x + 1, y}}, MakeNotFetched, 4,
         "quiltmap-make: no map saved: 2 of 4 tiles missing; the map called 'Home' is kept (give --allow-missing", "old"},
        {{"--tiles", "2x2", "--overwrite", "--allow-missing"}, {{x, y + 1}, {x + 1, y}}, MakeTilesMissing, 4,
         "map saved, 2 tiles missing", "Home\r\n"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteFile(maps + "Home.INF", "old"));
        TestTileServer failing;
        ASSERT_TRUE(failing.Start());
        for (const auto& [tileX, tileY] : c.failing) failing.SetAnswer(tileX, tileY, TileAnswer::Status(500));
        if (c.failing.empty()) failing.SetDefaultAnswer(TileAnswer::Status(500));
        QDir(library).removeRecursively();
        const Outcome run = Make(Seattle.mid(0, 4) + QStringList{"--metres", "4"} + c.more + QStringList{"--description", "Home", "--quiet", "--tile-server",
                                                                  failing.BaseUrl().toString()}, false);
        EXPECT_TRUE(run.status == c.status && run.err.contains(c.said) && ReadFile(maps + "Home.INF").endsWith(c.inf)) << run.err.toStdString();
        EXPECT_EQ(failing.RequestCount(), c.requests);
    }
}

// A locator's square: named after it in the normal form, with GIS files when the window's setting
// or --gis-files asks for them.
TEST_F(QuiltmapMakeTest, LocatorMapsAndGisFiles)
{
    for (const bool setting : {true, false}) {
        ASSERT_TRUE(WriteFile(program.path() + "/Quiltmap.INI", setting ? "[SETUP]\r\nGIS_FILES=True\r\n" : "[SETUP]\r\nGIS_FILES=False\r\n"));
        const Outcome run = Make(QStringList{"--locator", setting ? "fn31PR47" : "FN31pr47", "--tiles", "1x1", "--quiet"} +
                                 (setting ? QStringList{} : QStringList{"--description", "Gis", "--gis-files"}));
        const QString name = maps + (setting ? "FN31pr47" : "Gis");
        EXPECT_EQ(std::tuple(run.status, run.out), std::tuple(MakeOk, name + ".JPG\n")) << run.err.toStdString();
        for (const char* extension : {".JGW", ".PRJ", ".KML", ".JPG.aux.xml"})
            EXPECT_TRUE(QFileInfo::exists(name + extension)) << extension;
        EXPECT_TRUE(ReadFile(name + ".INF").endsWith(setting ? "\r\nFN31pr47\r\n" : "\r\nGis\r\n"));
    }
    EXPECT_EQ(Make({"--locator", "FN31pr47", "--corner", "--tiles", "1x1", "--metres", "4", "--description", "Plain",
                    "--quiet"}).status, MakeOk);
    EXPECT_FALSE(QFileInfo::exists(maps + "Plain.JGW"));
    // The window's default description, from the normal form.
    EXPECT_EQ(Make({"--lat", "47.5", "--long", "122.21.07w", "--tiles", "1x1", "--quiet"}).out,
              maps + "47.05.00N122.21.07 (centre).JPG\n");
}

TEST_F(QuiltmapMakeTest, UnwritableMapsFolderFails)
{
    ASSERT_TRUE(WriteFile(program.path() + "/file", "x"));
    const Outcome run = Make(Seattle + QStringList{"--maps", program.path() + "/file/maps", "--quiet"});
    EXPECT_TRUE(run.status == MakeFailed && run.err.contains("cannot create the maps folder")) << run.err.toStdString();
    EXPECT_EQ(server.RequestCount(), 0);
}

// The real program: streams and exit status as a shell sees them; help goes to standard output.
TEST(QuiltmapMakeProgram, ExitStatusAndStreams)
{
    for (const bool help : {false, true}) {
        QProcess process;
        process.start(QStringLiteral(QUILTMAP_MAKE), help ? QStringList{"--help"} : QStringList{"--lat", "47", "--long", "181"});
        ASSERT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitCode(), help ? 0 : 2);
        EXPECT_EQ(process.readAllStandardOutput().startsWith("Usage: quiltmap-make"), help);
        EXPECT_EQ(process.readAllStandardError().startsWith("quiltmap-make: --long 181: I can't make that into a valid longitude. "), !help);
    }
}

}  // namespace
