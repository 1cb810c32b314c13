#include <map>
#include <vector>

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>

#include "ContextIDs.h"
#include "CoordinateEntry.h"
#include "MainWindowFixture.h"
#include "MapMaker.h"
#include "TestTileServer.h"
#include "frmGridLocator.h"

namespace {

using Kind = ScriptedPrompter::Kind;

// Started by each test, first start included, with a tile server of its own.
class MainWindowTest : public MainWindowFixture {
protected:
    TestTileServer server;
    bool StartsAtSetUp() const override { return false; }
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        ASSERT_TRUE(server.Start());
        qputenv("QUILTMAP_TILE_SERVER", server.BaseUrl().toString().toUtf8());
    }
    void Start()
    {
        MainWindowFixture::Start();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    // Types the point and description and presses "&Download" with the mouse.
    void RequestMap(const QString& lat, const QString& lon, const QString& description)
    {
        auto* txtLat = Control<QLineEdit>("txtLat");
        txtLat->setFocus();
        QTest::keyClicks(txtLat, lat);
        QTest::keyClick(txtLat, Qt::Key_Tab);
        QTest::keyClicks(Control<QLineEdit>("txtLong"), lon);
        Control<QLineEdit>("txtDesc")->setFocus();
        QTest::keyClicks(Control<QLineEdit>("txtDesc"), description);
        QTest::mouseClick(Control<QPushButton>("cmdOk"), Qt::LeftButton);
    }
    bool WaitForDownloadEnd() { return QTest::qWaitFor([&] { return !window->Maker().Downloading(); }, 20000); }
};

// Choices from the menu are stored at once and come back at the next start, which opens no help.
TEST_F(MainWindowTest, FirstStartOpensTheHelpOnceAndMenuChoicesAreStoredAtOnce)
{
    Start();
    EXPECT_EQ(QApplication::focusWidget(), Control<QLineEdit>("txtLat"));
    EXPECT_NE(ContextIDs::HelpWindow(), nullptr);
    EXPECT_TRUE(QFileInfo(programDir.filePath("Tile Library")).isDir());
    EXPECT_TRUE(QFileInfo(programDir.filePath("Maps")).isDir());   // no host program
    EXPECT_TRUE(ReadFile(IniFile()).endsWith("REF_POINT=0\r\nFIRST_TIME=False\r\n"));   // the order: the settings tests
    Action("mnuFileNameOpt0")->trigger();
    EXPECT_TRUE(ReadFile(IniFile()).contains("FILE_NAME_OPTION=0"));
    Action("mnuGisFiles")->trigger();
    EXPECT_TRUE(ReadFile(IniFile()).contains("GIS_FILES=True"));
    window->close();
    EXPECT_EQ(ContextIDs::HelpWindow(), nullptr);
    Start();
    EXPECT_EQ(ContextIDs::HelpWindow(), nullptr);
    EXPECT_TRUE(Action("mnuGisFiles")->isChecked() && window->Maker().GisFiles());
    EXPECT_TRUE(Action("mnuFileNameOpt0")->isChecked() && !Action("mnuFileNameOpt1")->isChecked());
}

TEST_F(MainWindowTest, MakesAMapEndToEndAndTakesItFromTheLibraryTheSecondTime)
{
    Start();
    ContextIDs::CloseHelp();
    Action("mnuFileNameOpt0")->trigger();   // name maps from their description
    Control<QComboBox>("cmbScale")->setCurrentIndex(2);
    Control<QComboBox>("cmbWidth")->setCurrentIndex(1);
    Control<QComboBox>("cmbHeight")->setCurrentIndex(1);

    QSignalSpy saved(&window->Maker(), &MapMaker::MapSaved);
    RequestMap(QStringLiteral("47.36.37"), QStringLiteral("122.21.07"), QStringLiteral("Lake Union"));
    EXPECT_EQ(Control<QPushButton>("cmdOk")->text(), QStringLiteral("&Cancel"));
    EXPECT_FALSE(Control<QLineEdit>("txtLat")->isEnabled());
    ASSERT_TRUE(WaitForDownloadEnd());
    ASSERT_EQ(saved.count(), 1);
    EXPECT_EQ(Control<QPushButton>("cmdOk")->text(), QStringLiteral("&Download"));
    EXPECT_EQ(server.RequestCount(), 4);
    EXPECT_EQ(prompter.Texts(Kind::YesNo).size(), 1u);   // save the map?

    // Where each tile lands is the picture's and the calibration test's; here the pair is saved.
    const QString base = programDir.filePath(QStringLiteral("Maps/Lake Union"));
    EXPECT_EQ(QImage(base + QStringLiteral(".JPG")).size(), QSize(400, 400));
    EXPECT_TRUE(ReadFile(base + QStringLiteral(".INF")).endsWith("N\r\nLake Union\r\n"));

    // The same map again: every tile from the library, no request.
    prompter.Answers = {true, true};   // save, overwrite
    QTest::mouseClick(Control<QPushButton>("cmdOk"), Qt::LeftButton);
    ASSERT_TRUE(WaitForDownloadEnd());
    EXPECT_EQ(server.RequestCount(), 4);
    EXPECT_EQ(saved.count(), 2);
}

// Exit during a download held up by the server asks nothing, and saves the choices and the place.
TEST_F(MainWindowTest, ExitDuringADownloadAsksNothingAndSavesTheSettings)
{
    server.SetDefaultAnswer(TileAnswer::Hung());
    Start();
    ContextIDs::CloseHelp();
    Control<QComboBox>("cmbScale")->setCurrentIndex(3);
    Control<QRadioButton>("optCorner")->setChecked(true);
    window->move(window->pos() + QPoint(30, 20));
    const QRect outer = Settled([&] { return window->frameGeometry(); }, window->frameGeometry());
    RequestMap(QStringLiteral("40"), QStringLiteral("107.30"), QStringLiteral("Hung"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.ActiveCount() > 0; }, 10000));

    prompter.Log.clear();
    Action("mnuExit")->trigger();
    EXPECT_FALSE(window->isVisible() || window->Maker().Downloading());
    EXPECT_TRUE(prompter.Log.empty());
    const QByteArray ini = ReadFile(IniFile());
    const double fx = 1440.0 / window->screen()->logicalDotsPerInchX();
    for (const QByteArray& line : {QByteArray("RESOLUTION=3\r\n"), QByteArray("REF_POINT=1\r\n"),
                                   "MAIN_LEFT=" + QByteArray::number(qRound(outer.x() * fx)) + "\r\n"})
        EXPECT_TRUE(ini.contains(line)) << line.toStdString() << ini.toStdString();
}

// A refused point keeps the focus, whether left by Tab, by a click, or by Alt+D on "&Download".
TEST_F(MainWindowTest, InvalidCoordinateKeepsTheFocus)
{
    Start();
    auto* txtLat = Control<QLineEdit>("txtLat");
    QTest::keyClicks(txtLat, QStringLiteral("91"));
    QTest::keyClick(txtLat, Qt::Key_Tab);
    QTest::mouseClick(Control<QLineEdit>("txtDesc"), Qt::LeftButton);
    ContextIDs::CloseHelp();
    QTest::keyClick(window.get(), Qt::Key_D, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return prompter.Log.size() == 3; }, 2000));
    EXPECT_EQ(prompter.Texts(Kind::Inform), std::vector<QString>(3, CoordinateRefusal(false)));
    EXPECT_EQ(QApplication::focusWidget(), txtLat);

    txtLat->selectAll();
    QTest::keyClicks(txtLat, QStringLiteral("47.5"));
    QTest::keyClick(txtLat, Qt::Key_Tab);
    EXPECT_EQ(txtLat->text(), QStringLiteral("47.05.00"));
    EXPECT_EQ(QApplication::focusWidget(), Control<QLineEdit>("txtLong"));
}

// Two items of one menu on the same "&" letter only move between each other; every letter must
// reach one item.
TEST_F(MainWindowTest, EachMenuHasDistinctAccelerators)
{
    Start();
    std::vector<QList<QAction*>> menus{window->menuBar()->actions()};
    for (QMenu* menu : window->findChildren<QMenu*>()) menus.push_back(menu->actions());
    for (const QList<QAction*>& items : menus) {
        std::map<QChar, QString> taken;
        for (const QAction* item : items) {
            const QString text = item->text();
            const qsizetype amp = text.indexOf(QRegularExpression(QStringLiteral("&[^&]")));
            if (amp < 0) continue;
            const auto [at, isNew] = taken.emplace(text.at(amp + 1).toLower(), text);
            EXPECT_TRUE(isNew) << text.toStdString() << " and " << at->second.toStdString();
        }
    }
}

// Text that arrives other than as one plain key passes the same filter: keys with Alt held and
// input-method commits (the filter's table is the coordinate tests').
TEST_F(MainWindowTest, KeyFiltersHoldForEveryWayTextArrives)
{
    Start();
    ContextIDs::CloseHelp();
    const struct { const char* field; bool key; Qt::KeyboardModifiers modifiers; QString text, after; } cases[] = {
        {"txtLat", true, Qt::AltModifier, "q", "1"}, {"txtLong", true, Qt::AltModifier, "w", "1W"},
        {"txtLat", false, {}, QString::fromUtf16(u"4😀7"), "147"}};
    for (const auto& c : cases) {
        auto* field = Control<QLineEdit>(c.field);
        field->setFocus();
        field->setText("1");
        if (c.key) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, c.modifiers, c.text);
            QApplication::sendEvent(field, &press);
        } else {
            QInputMethodEvent commit;
            commit.setCommitString(c.text);
            QApplication::sendEvent(field, &commit);
        }
        EXPECT_EQ(field->text(), c.after) << c.field << " " << c.text.toStdString();
    }
}

// Tab into the reference-point frame lands on the option that is set, and goes on from there.
// 500 x 360 pixels is the smallest outer size, frame included.
TEST_F(MainWindowTest, TabEntersTheReferencePointAtTheOptionThatIsSetAndKeepsItsMinimumSize)
{
    ASSERT_TRUE(WriteFile(IniFile(), "[SETUP]\r\nFIRST_TIME=False\r\n"));  // no help window in the way
    Start();
    auto* txtLong = Control<QLineEdit>("txtLong");
    for (const char* set : {"optCorner", "optCentre"}) {
        Control<QRadioButton>(set)->setChecked(true);
        txtLong->setFocus();
        for (const auto& [key, reached] : {std::pair{Qt::Key_Tab, set}, {Qt::Key_Tab, "cmbScale"},
                                           {Qt::Key_Backtab, set}, {Qt::Key_Backtab, "txtLong"}}) {
            QTest::keyClick(QApplication::focusWidget(), key);
            EXPECT_EQ(QApplication::focusWidget()->objectName(), reached) << set;
        }
    }
    window->resize(300, 200);
    EXPECT_EQ(Settled([&] { return window->frameGeometry().size(); }, QSize(500, 360)), QSize(500, 360));
}

TEST_F(MainWindowTest, HostProgramUnderWineGetsTheToolEntryAndTheMaps)
{
    const QString prefix = prefixDir.path(), host = prefix + "/drive_c/Corvane32/";
    QDir().mkpath(host + "Maps");
    ASSERT_TRUE(WriteFile(prefix + "/user.reg",
              "WINE REGISTRY Version 2\n\n"
              "[Software\\\\VB and VBA Program Settings\\\\Wendrel Systems\\\\Corvane32] 1700000001\n"
              "\"Program Folder\"=\"C:\\\\Corvane32\"\n"));
    Start();
    EXPECT_EQ(window->Maker().MapsFolder(), host + "Maps/");
    EXPECT_FALSE(QFileInfo::exists(programDir.filePath("Maps")));
    EXPECT_TRUE(QFile::exists(host + ExecutableBaseName() + ".XTR"));   // its text: the host link tests
}

TEST_F(MainWindowTest, StartUpThatCannotMakeItsFoldersSaysSoAndEnds)
{
    ASSERT_TRUE(WriteFile(programDir.filePath(QStringLiteral("Tile Library")), "not a folder"));
    window = std::make_unique<frmQuiltmap>(&prompter);
    EXPECT_FALSE(window->Load());
    const auto warnings = prompter.Texts(Kind::Warn);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_TRUE(warnings[0].contains(QStringLiteral("Tile Library"))) << warnings[0].toStdString();
}

using GridLocatorTest = MainWindowFixture;

// Through the menu: a refused locator is said and keeps the dialog open, the fields as they were;
// a valid one writes the centre, and a fit its lists.
TEST_F(GridLocatorTest, MenuDialogWritesTheSquaresCentreOrKeepsOpen)
{
    for (const bool valid : {false, true}) {
        bool stillOpen = false;
        WhileModal<frmGridLocator>("mnuGridLocator", [&](frmGridLocator& dialog) {
            dialog.findChild<QLineEdit*>("txtLocator")->setText(valid ? "CN87UO" : "jj00");
            QTest::mouseClick(dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
            stillOpen = dialog.isVisible();
        });
        EXPECT_EQ(stillOpen, !valid);
        EXPECT_EQ(QStringList({Control<QLineEdit>("txtLat")->text(), Control<QLineEdit>("txtLong")->text(),
                               Control<QLineEdit>("txtDesc")->text()}),
                  valid ? QStringList({"47.36.25", "122.17.50", "CN87uo"}) : QStringList({"", "", ""}));
    }
    EXPECT_EQ(prompter.Texts(Kind::Inform).size(), 1u);
    Control<QRadioButton>("optCorner")->setChecked(true);
    ASSERT_TRUE(window->ApplyGridLocator("cn87", true));   // a fit sets the lists and the centre option
    EXPECT_TRUE(Control<QComboBox>("cmbScale")->currentIndex() == 7 && Control<QRadioButton>("optCentre")->isChecked());
}

}  // namespace
