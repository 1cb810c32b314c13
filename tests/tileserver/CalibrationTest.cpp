#include <gtest/gtest.h>

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "FakeMapForm.h"
#include "MapMaker.h"
#include "ScriptedPrompter.h"
#include "TestFiles.h"
#include "TileServerTesting.h"

namespace {

// Throws where the user is asked whether to save, as a full disk or a failed allocation would.
struct ThrowingPrompter : ScriptedPrompter {
    bool ThrowOnSave = false;
    bool Ask(Question question, const QString& text) override
    {
        return ThrowOnSave && question == Question::SaveMap ? throw std::runtime_error("the disk is gone")
                                                            : ScriptedPrompter::Ask(question, text);
    }
};

QStringList Logged;
void Collect(QtMsgType, const QMessageLogContext&, const QString& text) { Logged << text; }

class CalibrationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        server = std::make_unique<RunningTileServer>(cache.path().toStdString());
        maker.SetTileLibraryFolder(library.path() + QLatin1Char('/'));
        maker.SetMapsFolder(maps.path() + QLatin1Char('/'));
        maker.SetTileServer(QUrl(QString::fromStdString(server->BaseUrl())));
        maker.SetFileNameOption(0);
    }

    // The window's press of "&Download" on the middle marker as the centre of a 2 x 2 map; true
    // once the download has ended.
    bool MakeMap(int16_t typeIndex, const QString& description)
    {
        form.Texts = {{MapForm::Field::Latitude, QStringLiteral("47.36.45")},      // 47.6075 N
                      {MapForm::Field::Longitude, QStringLiteral("122.21.30")},    // 122.3550 W
                      {MapForm::Field::Description, description}};
        form.Lists = ListChoices{0, 1, 1, typeIndex, true};
        QSignalSpy ended(&maker, &MapMaker::DownloadEnded);
        maker.PressOk();
        return ended.wait(60000);
    }

    QTemporaryDir library, maps, cache;
    std::unique_ptr<RunningTileServer> server;
    FakeMapForm form;
    ThrowingPrompter prompter;
    MapMaker maker{form, prompter};
};

// The program's own fetch loop against the tile server, for either image type: the saved picture
// shows the marker where the map's grid puts it.
TEST_F(CalibrationTest, MapFromTheServerShowsTheMarkerWhereItsGridSays)
{
    const struct { int16_t type; const char *name, *stored; } cases[] = {
        {0, "Marker photo", "1-10-10-*.JPG"}, {1, "Marker topo", "2-10-10-*.GIF"}};
    for (const auto& c : cases) {
        ASSERT_TRUE(MakeMap(c.type, c.name));
        EXPECT_EQ(QDir(library.path()).entryList({QString(c.stored)}, QDir::Files).size(), 4) << c.name;
        const TileGrid& grid = maker.Grid();
        ASSERT_TRUE(grid.Zone == 10 && grid.MetresPerPixel == 1);
        const double west = double(grid.FirstTileX) * grid.TileMetres, south = double(grid.FirstTileY) * grid.TileMetres;
        const double north = south + 2 * grid.TileMetres;

        RgbImage picture{400, 400, std::vector<Rgb>(400 * 400)};
        ASSERT_TRUE(DecodeTile(ReadFile(maps.filePath(QString(c.name) + ".JPG")).toStdString(), picture)) << c.name;
        const double expectedX = kMarkers[1].Easting - west, expectedY = north - kMarkers[1].Northing;
        EXPECT_TRUE(RedCentredAt(picture, expectedX, expectedY, 30)) << c.name;
    }
}

// A failure while saving is logged with what was being done, and the download still ends (the
// command line waits for that).
TEST_F(CalibrationTest, FailedSaveIsLoggedAndTheDownloadStillEnds)
{
    prompter.ThrowOnSave = true;
    const QtMessageHandler previous = qInstallMessageHandler(Collect);
    EXPECT_TRUE(MakeMap(0, QStringLiteral("Never saved")));
    qInstallMessageHandler(previous);
    EXPECT_TRUE(Logged.contains("Quiltmap: saving the map failed: the disk is gone")) << Logged.join('\n').toStdString();
    EXPECT_TRUE(QDir(maps.path()).isEmpty());
}

}  // namespace
