#include <algorithm>
#include <functional>

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include "MainWindowFixture.h"
#include "MapMaker.h"
#include "MapRequest.h"
#include "TestTileServer.h"
#include "TileLibrary.h"
#include "frmPickOnMap.h"

namespace {

class PickOnMapTest : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        // A port where nothing listens any more.
        TestTileServer dead;
        ASSERT_TRUE(dead.Start());
        window->Maker().SetTileServer(dead.BaseUrl());
        dead.Stop();
        window->findChild<QLineEdit*>("txtLat")->setText("47.36.37");
        window->findChild<QLineEdit*>("txtLong")->setText("122.21.07");
        window->findChild<QComboBox*>("cmbScale")->setCurrentIndex(4);   // 16 m/pixel
    }
    // Opens the dialog from the menu and runs `inside` on it while it is shown.
    void Pick(const std::function<void(frmPickOnMap&)>& inside)
    {
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<frmPickOnMap*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            seen = true;
            inside(*dialog);
            if (dialog->isVisible())
                dialog->reject();
        });
        window->findChild<QAction*>("mnuPickOnMap")->trigger();
        EXPECT_TRUE(seen);
    }
    QString Field(const char* name) { return window->findChild<QLineEdit*>(name)->text(); }
};

// Three steps east and two north at 16 m/pixel: 9600 m E and 6400 m N of 47.36.37 N 122.21.07 W,
// which is 47.662953571 N 122.222598946 W (cs2cs).
TEST_F(PickOnMapTest, ArrowsMoveThePointAndEnterWritesItEscapeLeavesTheFields)
{
    const struct { int endKey; const char *lat, *lon; } cases[] = {
        {Qt::Key_Return, "47.39.78", "122.13.36"},
        {Qt::Key_Escape, "47.36.37", "122.21.07"},
    };
    for (const auto& c : cases) {
        window->findChild<QLineEdit*>("txtLat")->setText("47.36.37");
        window->findChild<QLineEdit*>("txtLong")->setText("122.21.07");
        Pick([&](frmPickOnMap& dialog) {
            EXPECT_EQ(dialog.windowTitle(), "Pick on Map");
            EXPECT_EQ(dialog.View().ScaleCode(), 14);
            EXPECT_TRUE(dialog.Scene().GridSquares);
            QTest::keyClick(dialog.findChild<QWidget*>("picOverview"), Qt::Key_G);
            EXPECT_FALSE(dialog.Scene().GridSquares);
            QWidget* overview = dialog.findChild<QWidget*>("picOverview");
            const double easting = dialog.View().PointEasting(), northing = dialog.View().PointNorthing();
            for (int key : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Right, Qt::Key_Up, Qt::Key_Up})
                QTest::keyClick(overview, Qt::Key(key));
            EXPECT_EQ(dialog.View().PointEasting() - easting, 9600.0);
            EXPECT_EQ(dialog.View().PointNorthing() - northing, 6400.0);
            EXPECT_EQ(dialog.CostText(), "25 tiles: 0 in the tile library, 25 to fetch (about 7 s)");
            QTest::keyClick(overview, Qt::Key(c.endKey));
            EXPECT_FALSE(dialog.isVisible());
        });
        EXPECT_EQ(Field("txtLat"), c.lat);
        EXPECT_EQ(Field("txtLong"), c.lon);
    }
    EXPECT_TRUE(prompter.Log.empty());
}

// With no server every tile ends grey, quietly, and the dialog still answers.
TEST_F(PickOnMapTest, DeadServerGivesGreyTilesAndNoMessageBox)
{
    window->findChild<QComboBox*>("cmbWidth")->setCurrentIndex(0);   // a small map, clear of the corner
    window->findChild<QComboBox*>("cmbHeight")->setCurrentIndex(0);
    Pick([&](frmPickOnMap& dialog) {
        const size_t covering = dialog.View().CoveringTiles(1).size();
        ASSERT_TRUE(QTest::qWaitFor([&] { return size_t(dialog.Scene().Failed.size()) == covering; }, 60000));
        const QImage shown = dialog.findChild<QWidget*>("picOverview")->grab().toImage();
        EXPECT_EQ(QColor(shown.pixel(3, 3)), QColor(160, 160, 160));
        for (QWidget* top : QApplication::topLevelWidgets())
            EXPECT_EQ(qobject_cast<QMessageBox*>(top), nullptr);
        QTest::keyClick(dialog.findChild<QWidget*>("picOverview"), Qt::Key_Minus);
        EXPECT_EQ(dialog.View().ScaleCode(), 15);
    });
    EXPECT_TRUE(prompter.Log.empty());
}

// A server that never answers: 4 requests at once, the centre's tiles first; a scale step drops
// the tiles of the old scale. The map tile already in the library counts as such.
TEST_F(PickOnMapTest, AtMostFourRequestsCentreFirstAndTheLibraryCounts)
{
    TestTileServer hung;
    hung.SetDefaultAnswer(TileAnswer::Hung());
    ASSERT_TRUE(hung.Start());
    window->Maker().SetTileServer(hung.BaseUrl());
    MapRequest request;
    TileGrid grid;
    ASSERT_TRUE(BuildTileGrid(window->Choices(), 47 + 36.37 / 60, -(122 + 21.07 / 60), request, grid));
    ASSERT_TRUE(WriteFile(TileFileBaseName(window->Maker().TileLibraryFolder(), GridTile(request, grid, 0, 0)) + ".JPG",
                          TestTileServer::JpegTile(0, 0)));
    Pick([&](frmPickOnMap& dialog) {
        EXPECT_EQ(dialog.CostText(), "25 tiles: 1 in the tile library, 24 to fetch (about 6 s)");
        ASSERT_TRUE(QTest::qWaitFor([&] { return hung.ActiveCount() == 4; }, 60000));
        std::vector<QString> nearest;   // the four tiles nearest the centre, in any order of arrival
        for (const TileAddress& tile : dialog.View().CoveringTiles(1))
            if (nearest.size() < 4 && tile != GridTile(request, grid, 0, 0))
                nearest.push_back(QString::fromStdString(TileQuery(tile)));
        std::vector<QString> asked = hung.Queries();
        std::sort(nearest.begin(), nearest.end());
        std::sort(asked.begin(), asked.end());
        EXPECT_EQ(asked, nearest);
        QTest::keyClick(dialog.findChild<QWidget*>("picOverview"), Qt::Key_PageDown);
        ASSERT_TRUE(QTest::qWaitFor([&] { return hung.ActiveCount() == 8; }, 60000));
        const std::vector<QString> queries = hung.Queries();
        for (size_t i = 0; i < queries.size(); ++i)
            EXPECT_TRUE(queries[i].contains(i < 4 ? "&S=14&" : "&S=15&")) << queries[i].toStdString();
    });
    // During a download (held up by the server) the menu item is off.
    window->Maker().BeginDownload(request, grid);
    auto* options = window->findChild<QMenu*>("mnuOptions");
    emit options->aboutToShow();
    EXPECT_FALSE(window->findChild<QAction*>("mnuPickOnMap")->isEnabled());
    window->Maker().CancelDownload();
    emit options->aboutToShow();
    EXPECT_TRUE(window->findChild<QAction*>("mnuPickOnMap")->isEnabled());
}

}  // namespace
