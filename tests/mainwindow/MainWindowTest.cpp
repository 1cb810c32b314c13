#include <map>
#include <vector>

#include <gtest/gtest.h>

#include <QActionGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include "ContextIDs.h"
#include "CoordinateEntry.h"
#include "HyperLinkLabel.h"
#include "MainWindowFixture.h"
#include "MapMaker.h"
#include "TestTileServer.h"
#include "frmAbout.h"
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
        auto* txtDesc = Control<QLineEdit>("txtDesc");
        txtDesc->setFocus();
        QTest::keyClicks(txtDesc, description);
        QTest::mouseClick(Control<QPushButton>("cmdOk"), Qt::LeftButton);
    }
    bool WaitForDownloadEnd()
    {
        return QTest::qWaitFor([&] { return !window->Maker().Downloading(); }, 20000);
    }
};

TEST_F(MainWindowTest, FirstStartShowsTheDefaultsAndOpensTheHelpOnce)
{
    Start();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Quiltmap  V1.00"));
    for (const auto& [list, text] : {std::pair{"cmbScale", "1 metre/pixel"}, {"cmbWidth", "1000 pixels"},
                                     {"cmbHeight", "1000 pixels"}, {"cmbType", "DOQ photo"}})
        EXPECT_EQ(Control<QComboBox>(list)->currentText(), text);
    EXPECT_TRUE(Control<QRadioButton>("optCentre")->isChecked());
    EXPECT_EQ(QApplication::focusWidget(), Control<QLineEdit>("txtLat"));
    EXPECT_NE(ContextIDs::HelpWindow(), nullptr);
    EXPECT_TRUE(QFileInfo(programDir.filePath(QStringLiteral("Tile Library"))).isDir());
    EXPECT_TRUE(QFileInfo(programDir.filePath(QStringLiteral("Maps"))).isDir());   // no host program
    EXPECT_TRUE(Action("mnuFileNameOpt1")->isChecked() && !Action("mnuFileNameOpt0")->isChecked());

    // The file as the first start leaves it, and as the close leaves it: the window, then the defaults.
    const auto checkFile = [&] {
        const QList<QByteArray> lines = ReadFile(IniFile()).split('\n');
        ASSERT_EQ(lines.size(), 14);
        const QRegularExpression window(QStringLiteral("^MAIN_(LEFT|TOP|WIDTH|HEIGHT)=-?\\d+\r$"));
        for (int i = 1; i <= 4; ++i)
            EXPECT_TRUE(window.match(QString::fromLatin1(lines[i])).hasMatch()) << lines[i].toStdString();
        EXPECT_EQ(lines.mid(5), (QList<QByteArray>{"MAIN_MAXIMIZED=False\r", "FILE_NAME_OPTION=1\r", "RESOLUTION=0\r",
                                                    "IMAGE_TYPE=0\r", "WIDTH=4\r", "HEIGHT=4\r", "REF_POINT=0\r",
                                                    "FIRST_TIME=False\r", ""}));
    };
    checkFile();
    window->close();
    EXPECT_EQ(ContextIDs::HelpWindow(), nullptr);
    checkFile();
    Start();   // the second start opens no help
    EXPECT_EQ(ContextIDs::HelpWindow(), nullptr);
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
    EXPECT_EQ(Control<QLabel>("progress")->text(), "4 tiles: 4 in the tile library, 0 to fetch (about 0 s)");
    EXPECT_EQ(prompter.Texts(Kind::YesNo), std::vector<QString>{QStringLiteral("Do you want to save the map?")});

    // Each square of the picture comes from its own tile; rows count up from the bottom.
    const QString base = programDir.filePath(QStringLiteral("Maps/Lake Union"));
    const QImage map(base + QStringLiteral(".JPG"));
    ASSERT_EQ(map.size(), QSize(400, 400));
    const TileGrid& grid = window->Maker().Grid();
    for (int tile = 0; tile < 4; ++tile) {
        const int column = tile % 2, row = tile / 2;
        const QColor expected = TestTileServer::TileColour(grid.FirstTileX + column, grid.FirstTileY + row);
        const QColor actual = map.pixelColor(column * 200 + 100, 300 - row * 200);
        EXPECT_LE(std::max({std::abs(actual.red() - expected.red()), std::abs(actual.green() - expected.green()),
                            std::abs(actual.blue() - expected.blue())}), 8) << tile;
    }
    const QByteArray inf = ReadFile(base + QStringLiteral(".INF"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral(
                    "^122\\.2\\d\\.\\d{3}W,47\\.3\\d\\.\\d{3}N\r\n122\\.2\\d\\.\\d{3}W,47\\.3\\d\\.\\d{3}N\r\nLake Union\r\n$"))
                    .match(QString::fromLatin1(inf)).hasMatch()) << inf.toStdString();

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
    Control<QComboBox>("cmbType")->setCurrentIndex(1);
    Control<QComboBox>("cmbWidth")->setCurrentIndex(0);
    Control<QComboBox>("cmbHeight")->setCurrentIndex(7);
    Control<QRadioButton>("optCorner")->setChecked(true);
    window->move(window->pos() + QPoint(30, 20));
    const QRect outer = Settled([&] { return window->frameGeometry(); }, window->frameGeometry());
    RequestMap(QStringLiteral("40"), QStringLiteral("107.30"), QStringLiteral("Hung"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.ActiveCount() > 0; }, 10000));

    prompter.Log.clear();
    Action("mnuExit")->trigger();
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->Maker().Downloading());
    EXPECT_TRUE(prompter.Log.empty());
    const QByteArray ini = ReadFile(IniFile());
    const double fx = 1440.0 / window->screen()->logicalDotsPerInchX();
    for (const QByteArray& line : {QByteArray("RESOLUTION=3\r\n"), QByteArray("IMAGE_TYPE=1\r\n"),
                                   QByteArray("WIDTH=0\r\n"), QByteArray("HEIGHT=7\r\n"), QByteArray("REF_POINT=1\r\n"),
                                   "MAIN_LEFT=" + QByteArray::number(qRound(outer.x() * fx)) + "\r\n"})
        EXPECT_TRUE(ini.contains(line)) << line.toStdString() << ini.toStdString();
}

// Opened from the menu: no owner, so neither moved nor top-most.
TEST_F(MainWindowTest, AboutBoxFromTheMenu)
{
    Start();
    ContextIDs::CloseHelp();
    QString title;
    bool topMost = true;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = dynamic_cast<frmAbout*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        title = box->windowTitle();
        topMost = box->windowFlags() & Qt::WindowStaysOnTopHint;
        EXPECT_EQ(box->SWBHyperLink1->Url(), QUrl(box->SWBHyperLink1->text()));   // the link opens what it shows
        QTest::mouseClick(box->cmdOk, Qt::LeftButton);
    });
    poll.start(0);
    Action("mnuAbout")->trigger();   // returns when the box has closed
    EXPECT_EQ(title, "About Quiltmap");
    EXPECT_FALSE(topMost);
}

// A refused point keeps the focus, whether left by Tab, by a click, or by Alt+D on "&Download".
TEST_F(MainWindowTest, InvalidCoordinateKeepsTheFocus)
{
    Start();
    auto* txtLat = Control<QLineEdit>("txtLat");
    QTest::keyClicks(txtLat, QStringLiteral("91"));
    QTest::keyClick(txtLat, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), txtLat);
    EXPECT_EQ(prompter.Log.size(), 1u);
    QTest::mouseClick(Control<QLineEdit>("txtDesc"), Qt::LeftButton);
    EXPECT_EQ(QApplication::focusWidget(), txtLat);
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
    for (QMenu* menu : window->findChildren<QMenu*>())
        menus.push_back(menu->actions());
    for (const QList<QAction*>& items : menus) {
        std::map<QChar, QString> taken;
        for (const QAction* item : items) {
            const QString text = item->text();
            const qsizetype amp = text.indexOf(QRegularExpression(QStringLiteral("&[^&]")));
            if (amp < 0)
                continue;
            const auto [at, isNew] = taken.emplace(text.at(amp + 1).toLower(), text);
            EXPECT_TRUE(isNew) << text.toStdString() << " and " << at->second.toStdString();
        }
    }
}

// Text that arrives other than as one plain key passes the same filter: keys with Alt or AltGr
// held, keys giving several code units, input-method commits. What is swallowed deletes nothing.
TEST_F(MainWindowTest, KeyFiltersHoldForEveryWayTextArrives)
{
    Start();
    ContextIDs::CloseHelp();
    const Qt::KeyboardModifiers alt = Qt::AltModifier, altGr = Qt::ControlModifier | Qt::AltModifier;
    const struct { const char* field; bool key; Qt::KeyboardModifiers modifiers; QString text, before, after; } cases[] = {
        {"txtLat", true, alt, "q", "1", "1"},       {"txtLat", true, altGr, "@", "1", "1"},
        {"txtLat", true, alt, "5", "1", "15"},      {"txtLong", true, alt, "w", "1", "1W"},
        {"txtLong", true, {}, "aWe-", "", "W"},     {"txtLong", true, {}, QString::fromUtf16(u"😀"), "1", "1"},
        {"txtLat", false, {}, QString::fromUtf16(u"4😀7"), "", "47"}, {"txtLong", false, {}, "w1", "", "W1"},
        {"txtLat", false, {}, "x", "", ""},
    };
    for (const auto& c : cases) {
        auto* field = Control<QLineEdit>(c.field);
        field->setFocus();
        field->setText(c.before);
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
    auto* txtLat = Control<QLineEdit>("txtLat");
    txtLat->setText("12");
    txtLat->selectAll();
    QTest::keyClicks(txtLat, "a4,");
    EXPECT_EQ(txtLat->text(), "4");
}

// Tab into the reference-point frame lands on the option that is set, and goes on from there.
TEST_F(MainWindowTest, TabEntersTheReferencePointAtTheOptionThatIsSet)
{
    ASSERT_TRUE(WriteFile(IniFile(), "[SETUP]\r\nFIRST_TIME=False\r\n"));  // no help window in the way
    Start();
    auto* txtLong = Control<QLineEdit>("txtLong");
    auto* optCentre = Control<QRadioButton>("optCentre");
    auto* optCorner = Control<QRadioButton>("optCorner");
    auto* cmbScale = Control<QComboBox>("cmbScale");
    for (QRadioButton* set : {optCentre, optCorner, optCentre}) {
        set->setChecked(true);
        txtLong->setFocus();
        for (const auto& [key, reached] : {std::pair<Qt::Key, QWidget*>{Qt::Key_Tab, set}, {Qt::Key_Tab, cmbScale},
                                           {Qt::Key_Backtab, set}, {Qt::Key_Backtab, txtLong}}) {
            QTest::keyClick(QApplication::focusWidget(), key);
            EXPECT_EQ(QApplication::focusWidget(), reached) << set->objectName().toStdString();
        }
    }
    optCentre->setFocus();  // the arrow keys move within the group and set the option
    QTest::keyClick(optCentre, Qt::Key_Right);
    EXPECT_TRUE(optCorner->hasFocus() && optCorner->isChecked());
    QTest::keyClick(optCorner, Qt::Key_Left);
    EXPECT_TRUE(optCentre->hasFocus() && optCentre->isChecked());
}

// The naming rules carry check marks (not the radio bullets of an exclusive group); picking the
// checked one again keeps its mark. Choices from the menu are stored at once.
TEST_F(MainWindowTest, MenuChoicesAreCheckedItemsStoredAtOnce)
{
    Start();
    QAction* items[2] = {Action("mnuFileNameOpt0"), Action("mnuFileNameOpt1")};
    for (int pick : {0, 0, 1, 1}) {
        items[pick]->trigger();
        for (int i = 0; i < 2; ++i) {
            EXPECT_FALSE(items[i]->actionGroup() && items[i]->actionGroup()->isExclusive());
            EXPECT_EQ(items[i]->isChecked(), i == pick) << pick;
        }
        EXPECT_TRUE(ReadFile(IniFile()).contains("FILE_NAME_OPTION=" + QByteArray::number(pick)));
    }
    EXPECT_FALSE(Action("mnuGisFiles")->isChecked() || window->Maker().GisFiles());
    Action("mnuGisFiles")->trigger();
    EXPECT_TRUE(ReadFile(IniFile()).contains("GIS_FILES=True"));
    window->close();
    Start();
    EXPECT_TRUE(Action("mnuGisFiles")->isChecked() && window->Maker().GisFiles());
}

// 500 x 360 pixels is the outer size, frame included.
TEST_F(MainWindowTest, KeepsItsMinimumSize)
{
    ASSERT_TRUE(WriteFile(IniFile(), "[SETUP]\r\nFIRST_TIME=False\r\n"));  // no help window in the way
    Start();
    window->resize(300, 200);
    EXPECT_EQ(Settled([&] { return window->frameGeometry().size(); }, QSize(500, 360)), QSize(500, 360));
}

TEST_F(MainWindowTest, HostProgramUnderWineGetsTheToolEntryAndTheMaps)
{
    const QString prefix = prefixDir.path();
    QDir().mkpath(prefix + QStringLiteral("/drive_c/Corvane32/Maps"));
    ASSERT_TRUE(WriteFile(prefix + QStringLiteral("/user.reg"),
              "WINE REGISTRY Version 2\n\n"
              "[Software\\\\VB and VBA Program Settings\\\\Wendrel Systems\\\\Corvane32] 1700000001\n"
              "\"Program Folder\"=\"C:\\\\Corvane32\"\n"));
    Start();
    const QString host = prefix + QStringLiteral("/drive_c/Corvane32/");
    EXPECT_EQ(window->HostFolder(), host);
    EXPECT_EQ(window->Maker().MapsFolder(), host + QStringLiteral("Maps/"));
    EXPECT_FALSE(QFileInfo::exists(programDir.filePath(QStringLiteral("Maps"))));
    EXPECT_TRUE(QFile::exists(host + ExecutableBaseName() + QStringLiteral(".XTR")));   // its text: the host link tests
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

// Through the menu: the dialog takes any case and writes the centre in the fields' normal form.
// A refused locator is said and keeps the dialog open, the fields as they were.
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
                               Control<QLineEdit>("txtDesc")->text(), Control<QLabel>("labLocator")->text()}),
                  valid ? QStringList({"47.36.25", "122.17.50", "CN87uo", "Locator CN87uo"}) : QStringList({"", "", "", ""}));
    }
    const auto told = prompter.Texts(Kind::Inform);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_TRUE(told[0].contains("JJ00 lies east of Greenwich")) << told[0].toStdString();
    EXPECT_FALSE(window->ApplyGridLocator("CN87x", false));
    EXPECT_TRUE(prompter.Texts(Kind::Inform).back().contains("is not a grid locator"));
}

// A fit sets the lists and the centre option, and keeps the description.
TEST_F(GridLocatorTest, FittedCentre)
{
    Control<QRadioButton>("optCorner")->setChecked(true);
    Control<QLineEdit>("txtDesc")->setText("Kept");
    // A 2 x 1 degree square near 48 N needs 128 m a pixel (see the locator tests).
    ASSERT_TRUE(window->ApplyGridLocator("cn87", true));
    EXPECT_EQ(QStringList({Control<QLineEdit>("txtLat")->text(), Control<QLineEdit>("txtLong")->text(),
                           Control<QLineEdit>("txtDesc")->text(), Control<QComboBox>("cmbScale")->currentText(),
                           Control<QComboBox>("cmbWidth")->currentText(), Control<QComboBox>("cmbHeight")->currentText(),
                           Control<QLabel>("labLocator")->text()}),
              QStringList({"47.30.00", "123.00.00", "Kept", "128 metres/pixel", "1400 pixels", "1000 pixels",
                           "Locator CN87mm"}));
    EXPECT_TRUE(Control<QRadioButton>("optCentre")->isChecked());
    EXPECT_TRUE(prompter.Log.empty());

    ASSERT_TRUE(window->ApplyGridLocator("AR09", true));   // beyond the grid's northern limit
    EXPECT_TRUE(prompter.Texts(Kind::Inform).at(0).startsWith("No map size and resolution covers"));
}

TEST_F(GridLocatorTest, StatusLocatorNeedsBothFieldsValid)
{
    auto* locator = Control<QLabel>("labLocator");
    for (const auto& [field, text, shown] : {std::tuple{"txtLat", "47.36.37", ""}, {"txtLong", "122.21.07", "Locator CN87to"},
                                             {"txtLong", "181", ""}}) {
        Control<QLineEdit>(field)->setText(text);
        EXPECT_EQ(locator->text(), shown) << text;
    }
}

}  // namespace
