#include <tuple>

#include <gtest/gtest.h>

#include <QComboBox>
#include <QMenu>
#include <QMessageBox>

#include "MainWindowFixture.h"
#include "MapMaker.h"
#include "MapRequest.h"
#include "TestTileServer.h"
#include "frmPickOnMap.h"

namespace {

using Field = MapForm::Field;

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
        window->SetFieldText(Field::Latitude, "47.36.37");
        window->SetFieldText(Field::Longitude, "122.21.07");
        window->findChild<QComboBox*>("cmbScale")->setCurrentIndex(4);   // 16 m/pixel
    }
    void Pick(const std::function<void(frmPickOnMap&)>& inside) { WhileModal<frmPickOnMap>("mnuPickOnMap", inside); }
};

// Three steps east and two north at 16 m/pixel: 9600 m E and 6400 m N of 47.36.37 N 122.21.07 W,
// which is 47.662953571 N 122.222598946 W (cs2cs). With no server every tile ends grey, quietly.
TEST_F(PickOnMapTest, ArrowsMoveThePointAndEnterWritesItEscapeLeavesTheFields)
{
    window->findChild<QComboBox*>("cmbWidth")->setCurrentIndex(0);   // a small map, clear of the corner
    window->findChild<QComboBox*>("cmbHeight")->setCurrentIndex(0);
    const struct { int endKey; const char *lat, *lon; } cases[] = {
        {Qt::Key_Escape, "47.36.37", "122.21.07"}, {Qt::Key_Return, "47.39.78", "122.13.36"}};
    for (const auto& c : cases) {
        Pick([&](frmPickOnMap& dialog) {
            EXPECT_EQ(dialog.View().ScaleCode(), 14);
            QWidget* overview = dialog.findChild<QWidget*>("picOverview");
            if (c.endKey == Qt::Key_Escape) {
                const size_t covering = dialog.View().CoveringTiles(1).size();
                ASSERT_TRUE(QTest::qWaitFor([&] { return size_t(dialog.Scene().Failed.size()) == covering; }, 60000));
                EXPECT_EQ(QColor(overview->grab().toImage().pixel(3, 3)), QColor(160, 160, 160));
                for (QWidget* top : QApplication::topLevelWidgets()) EXPECT_EQ(qobject_cast<QMessageBox*>(top), nullptr);
            }
            const double easting = dialog.View().PointEasting(), northing = dialog.View().PointNorthing();
            for (int key : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Right, Qt::Key_Up, Qt::Key_Up})
                QTest::keyClick(overview, Qt::Key(key));
            EXPECT_EQ(std::tuple(dialog.View().PointEasting() - easting, dialog.View().PointNorthing() - northing),
                      std::tuple(9600.0, 6400.0));
            QTest::keyClick(overview, Qt::Key(c.endKey));
        });
        EXPECT_EQ(std::tuple(window->FieldText(Field::Latitude), window->FieldText(Field::Longitude)),
                  std::tuple(c.lat, c.lon));
    }
    EXPECT_TRUE(prompter.Log.empty());
}

// The fetcher's limit and order are its own tests'; here, during a download (held up by the
// server) the menu item is off.
TEST_F(PickOnMapTest, MenuItemIsOffDuringADownload)
{
    TestTileServer hung;
    hung.SetDefaultAnswer(TileAnswer::Hung());
    ASSERT_TRUE(hung.Start());
    window->Maker().SetTileServer(hung.BaseUrl());
    MapRequest request;
    TileGrid grid;
    ASSERT_TRUE(BuildTileGrid(window->Choices(), 47.6, -122.35, request, grid));
    window->Maker().BeginDownload(request, grid);
    for (const bool downloading : {true, false}) {
        emit window->findChild<QMenu*>("mnuOptions")->aboutToShow();
        EXPECT_EQ(window->findChild<QAction*>("mnuPickOnMap")->isEnabled(), !downloading);
        window->Maker().CancelDownload();
    }
}

}  // namespace
