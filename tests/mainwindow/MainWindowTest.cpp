#include <map>
#include <vector>

#include <gtest/gtest.h>

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QFile>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "CoordinateEntry.h"
#include "ContextIDs.h"
#include "MapMaker.h"
#include "ProgramFolder.h"
#include "ScriptedPrompter.h"
#include "TestFiles.h"
#include "TestTileServer.h"
#include "HyperLinkLabel.h"
#include "frmAbout.h"
#include "frmQuiltmap.h"

namespace {

// Key names of the settings file in file order.
QStringList KeysInOrder(const QString& iniFile)
{
    QStringList keys;
    for (const QByteArray& line : ReadFile(iniFile).split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (equals > 0)
            keys << QString::fromUtf8(line.left(equals)).trimmed();
    }
    return keys;
}

// A program started in a folder of its own, with its own Wine prefix and tile server.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(programDir.isValid());
        OverrideProgramFolder(programDir.path());
        qputenv("WINEPREFIX", prefixDir.path().toUtf8());
        ASSERT_TRUE(server.Start());
        qputenv("QUILTMAP_TILE_SERVER", server.BaseUrl().toString().toUtf8());
    }

    void TearDown() override
    {
        if (window && window->isVisible())
            window->close();
        window.reset();
        server.Stop();
        OverrideProgramFolder(QString());
    }

    void Start()
    {
        window = std::make_unique<frmQuiltmap>(&prompter);
        ASSERT_TRUE(window->Load());
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    template <typename T>
    T* Control(const char* name)
    {
        T* control = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(control, nullptr) << name;
        return control;
    }

    QAction* Action(const char* name)
    {
        return window->findChild<QAction*>(QString::fromLatin1(name));
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

    QString IniFile() const { return programDir.filePath(ExecutableBaseName() + QStringLiteral(".INI")); }

    QTemporaryDir programDir;
    QTemporaryDir prefixDir;
    TestTileServer server;
    ScriptedPrompter prompter;
    std::unique_ptr<frmQuiltmap> window;
};

TEST_F(MainWindowTest, FirstStartShowsTheDefaultsAndOpensTheHelpOnce)
{
    Start();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Quiltmap  V1.00"));
    EXPECT_EQ(Control<QComboBox>("cmbScale")->currentText(), QStringLiteral("1 metre/pixel"));
    EXPECT_EQ(Control<QComboBox>("cmbScale")->itemText(9), QStringLiteral("512 metres/pixel"));
    EXPECT_EQ(Control<QComboBox>("cmbWidth")->currentText(), QStringLiteral("1000 pixels"));
    EXPECT_EQ(Control<QComboBox>("cmbHeight")->currentText(), QStringLiteral("1000 pixels"));
    EXPECT_EQ(Control<QComboBox>("cmbType")->currentText(), QStringLiteral("DOQ photo"));
    EXPECT_TRUE(Control<QRadioButton>("optCentre")->isChecked());
    EXPECT_EQ(QApplication::focusWidget(), Control<QLineEdit>("txtLat"));
    EXPECT_NE(ContextIDs::HelpWindow(), nullptr);
    EXPECT_TRUE(QFileInfo(programDir.filePath(QStringLiteral("Tile Library"))).isDir());
    EXPECT_TRUE(QFileInfo(programDir.filePath(QStringLiteral("Maps"))).isDir());   // no host program

    // The file as the first start leaves it: the centred window, then the defaults.
    const QList<QByteArray> lines = ReadFile(IniFile()).split('\n');
    ASSERT_EQ(lines.size(), 14);
    EXPECT_EQ(lines[0], "[SETUP]\r");
    const QRegularExpression number(QStringLiteral("^-?\\d+\r$"));
    for (int i = 1; i <= 4; ++i)
        EXPECT_TRUE(number.match(QString::fromLatin1(lines[i].mid(lines[i].indexOf('=') + 1))).hasMatch()) << lines[i].toStdString();
    EXPECT_EQ(lines.mid(5), (QList<QByteArray>{"MAIN_MAXIMIZED=False\r", "FILE_NAME_OPTION=1\r", "RESOLUTION=0\r",
                                                "IMAGE_TYPE=0\r", "WIDTH=4\r", "HEIGHT=4\r", "REF_POINT=0\r",
                                                "FIRST_TIME=False\r", ""}));
    EXPECT_TRUE(Action("mnuFileNameOpt1")->isChecked() && !Action("mnuFileNameOpt0")->isChecked());

    window->close();
    EXPECT_EQ(ContextIDs::HelpWindow(), nullptr);
    EXPECT_EQ(KeysInOrder(IniFile()),
              QStringList({"MAIN_LEFT", "MAIN_TOP", "MAIN_WIDTH", "MAIN_HEIGHT", "MAIN_MAXIMIZED",
                           "FILE_NAME_OPTION", "RESOLUTION", "IMAGE_TYPE", "WIDTH", "HEIGHT",
                           "REF_POINT", "FIRST_TIME"}));

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
    EXPECT_EQ(prompter.Texts(ScriptedPrompter::Kind::YesNo),
              std::vector<QString>{QStringLiteral("Do you want to save the map?")});

    // Each square of the picture comes from its own tile.
    const QString base = programDir.filePath(QStringLiteral("Maps/Lake Union"));
    const QImage map(base + QStringLiteral(".JPG"));
    ASSERT_EQ(map.size(), QSize(400, 400));
    const TileGrid& grid = window->Maker().Grid();
    for (int column = 0; column < 2; ++column) {
        for (int row = 0; row < 2; ++row) {
            const QColor expected = TestTileServer::TileColour(grid.FirstTileX + column, grid.FirstTileY + row);
            const QColor actual = map.pixelColor(column * 200 + 100, 400 - (row + 1) * 200 + 100);
            EXPECT_NEAR(actual.red(), expected.red(), 8) << column << "," << row;
            EXPECT_NEAR(actual.green(), expected.green(), 8) << column << "," << row;
            EXPECT_NEAR(actual.blue(), expected.blue(), 8) << column << "," << row;
        }
    }
    const QByteArray inf = ReadFile(base + QStringLiteral(".INF"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral(
                    "^122\\.2\\d\\.\\d{3}W,47\\.3\\d\\.\\d{3}N\r\n122\\.2\\d\\.\\d{3}W,47\\.3\\d\\.\\d{3}N\r\nLake Union\r\n$"))
                    .match(QString::fromLatin1(inf))
                    .hasMatch())
        << inf.toStdString();

    // The same map again: every tile from the library, no request.
    prompter.Answers = {true, true};   // save, overwrite
    QTest::mouseClick(Control<QPushButton>("cmdOk"), Qt::LeftButton);
    ASSERT_TRUE(WaitForDownloadEnd());
    EXPECT_EQ(server.RequestCount(), 4);
    EXPECT_EQ(saved.count(), 2);
}

TEST_F(MainWindowTest, ClosingDuringADownloadAsksNothingAndSavesTheSettings)
{
    server.SetDefaultAnswer(TileAnswer::Hung());
    Start();
    ContextIDs::CloseHelp();
    Control<QComboBox>("cmbWidth")->setCurrentIndex(0);
    Control<QComboBox>("cmbScale")->setCurrentIndex(3);
    RequestMap(QStringLiteral("40"), QStringLiteral("107.30"), QStringLiteral("Hung"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.ActiveCount() == 1; }, 10000));

    prompter.Log.clear();
    window->close();
    EXPECT_FALSE(window->Maker().Downloading());
    EXPECT_TRUE(prompter.Log.empty());
    const QByteArray ini = ReadFile(IniFile());
    EXPECT_TRUE(ini.contains("RESOLUTION=3")) << ini.toStdString();
    EXPECT_TRUE(ini.contains("WIDTH=0")) << ini.toStdString();
}

TEST_F(MainWindowTest, ExitSavesTheChoicesAndThePlaceAndEndsTheWindow)
{
    Start();
    ContextIDs::CloseHelp();
    Control<QComboBox>("cmbScale")->setCurrentIndex(3);
    Control<QComboBox>("cmbType")->setCurrentIndex(1);
    Control<QComboBox>("cmbWidth")->setCurrentIndex(0);
    Control<QComboBox>("cmbHeight")->setCurrentIndex(7);
    Control<QRadioButton>("optCorner")->setChecked(true);
    window->move(window->pos() + QPoint(30, 20));
    const QRect outer = Settled([&] { return window->frameGeometry(); }, window->frameGeometry());
    Action("mnuExit")->trigger();
    EXPECT_FALSE(window->isVisible());
    const QByteArray ini = ReadFile(IniFile());
    const double fx = 1440.0 / window->screen()->logicalDotsPerInchX();
    for (const QByteArray& line : {QByteArray("RESOLUTION=3\r\n"), QByteArray("IMAGE_TYPE=1\r\n"),
                                   QByteArray("WIDTH=0\r\n"), QByteArray("HEIGHT=7\r\n"),
                                   QByteArray("REF_POINT=1\r\n"),
                                   "MAIN_LEFT=" + QByteArray::number(qRound(outer.x() * fx)) + "\r\n"})
        EXPECT_TRUE(ini.contains(line)) << line.toStdString() << ini.toStdString();
}

// Opened from the menu: no owner, so neither moved nor top-most; the texts of the box.
TEST_F(MainWindowTest, AboutBoxFromTheMenu)
{
    Start();
    ContextIDs::CloseHelp();
    QStringList texts;
    bool topMost = true;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = dynamic_cast<frmAbout*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        texts = QStringList{box->windowTitle(), box->labAppTitle->text(), box->Label1->text(), box->cmdOk->text(),
                            box->SWBHyperLink1->text()};
        topMost = box->windowFlags() & Qt::WindowStaysOnTopHint;
        EXPECT_FALSE(box->labAuthor->text().isEmpty() || box->labDesc->text().isEmpty()
                     || box->labCopyright->text().isEmpty());
        EXPECT_EQ(box->SWBHyperLink1->Url(), QUrl(box->SWBHyperLink1->text()));
        QTest::mouseClick(box->cmdOk, Qt::LeftButton);
    });
    poll.start(0);
    Action("mnuAbout")->trigger();   // returns when the box has closed
    EXPECT_EQ(texts.mid(0, 4), (QStringList{"About Quiltmap", "Quiltmap V1.00", "The main Corvane32 web site is:-", "&Ok"}));
    EXPECT_TRUE(texts.value(4).startsWith("http")) << texts.value(4).toStdString();
    EXPECT_FALSE(topMost);
}

TEST_F(MainWindowTest, InvalidCoordinateKeepsTheFocus)
{
    Start();
    auto* txtLat = Control<QLineEdit>("txtLat");
    auto* txtDesc = Control<QLineEdit>("txtDesc");
    QTest::keyClicks(txtLat, QStringLiteral("91"));

    QTest::keyClick(txtLat, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), txtLat);
    EXPECT_EQ(prompter.Log.size(), 1u);
    QTest::mouseClick(txtDesc, Qt::LeftButton);
    EXPECT_EQ(QApplication::focusWidget(), txtLat);
    EXPECT_EQ(prompter.Texts(ScriptedPrompter::Kind::Inform),
              std::vector<QString>(2, CoordinateRefusal(false)));

    txtLat->selectAll();
    QTest::keyClicks(txtLat, QStringLiteral("47.5"));
    QTest::keyClick(txtLat, Qt::Key_Tab);
    EXPECT_EQ(txtLat->text(), QStringLiteral("47.05.00"));
    EXPECT_EQ(QApplication::focusWidget(), Control<QLineEdit>("txtLong"));
}

TEST_F(MainWindowTest, KeyFiltersAndAccelerators)
{
    Start();
    ContextIDs::CloseHelp();
    auto* txtLat = Control<QLineEdit>("txtLat");
    auto* txtLong = Control<QLineEdit>("txtLong");
    QTest::keyClicks(txtLat, QStringLiteral("4a-,7"));
    EXPECT_EQ(txtLat->text(), QStringLiteral("47"));
    txtLong->setFocus();
    QTest::keyClicks(txtLong, QStringLiteral("12w"));
    EXPECT_EQ(txtLong->text(), QStringLiteral("12W"));

    // Alt+D presses "&Download", whose checks start with the (empty) latitude.
    txtLat->clear();
    Control<QLineEdit>("txtDesc")->setFocus();
    prompter.Log.clear();
    QTest::keyClick(window.get(), Qt::Key_D, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !prompter.Log.empty(); }, 2000));
    EXPECT_EQ(prompter.Log.front().text, CoordinateRefusal(false));
    EXPECT_EQ(QApplication::focusWidget(), txtLat);
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
    QTest::keyClicks(txtLat, "a");
    EXPECT_EQ(txtLat->text(), "12");
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
        QTest::keyClick(txtLong, Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), set) << set->objectName().toStdString();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), cmbScale);
        QTest::keyClick(cmbScale, Qt::Key_Backtab);
        EXPECT_EQ(QApplication::focusWidget(), set);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        EXPECT_EQ(QApplication::focusWidget(), txtLong);
    }
    optCentre->setFocus();  // the arrow keys move within the group and set the option
    QTest::keyClick(optCentre, Qt::Key_Right);
    EXPECT_TRUE(optCorner->hasFocus() && optCorner->isChecked());
    QTest::keyClick(optCorner, Qt::Key_Left);
    EXPECT_TRUE(optCentre->hasFocus() && optCentre->isChecked());
}

// The naming rules carry check marks (not the radio bullets of an exclusive group); picking the
// checked one again keeps its mark.
TEST_F(MainWindowTest, FileNameRulesAreCheckedMenuItems)
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

    QString expectedLine2 = QStringLiteral("Z:") + QCoreApplication::applicationFilePath();
    expectedLine2.replace(u'/', u'\\');
    const QByteArray xtr = ReadFile(host + ExecutableBaseName() + QStringLiteral(".XTR"));
    EXPECT_EQ(xtr, "Quiltmap\r\n" + expectedLine2.toLatin1() + "\r\nFalse\r\nFalse\r\n");
}

TEST_F(MainWindowTest, StartUpThatCannotMakeItsFoldersSaysSoAndEnds)
{
    ASSERT_TRUE(WriteFile(programDir.filePath(QStringLiteral("Tile Library")), "not a folder"));
    window = std::make_unique<frmQuiltmap>(&prompter);
    EXPECT_FALSE(window->Load());
    const auto warnings = prompter.Texts(ScriptedPrompter::Kind::Warn);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_TRUE(warnings[0].contains(QStringLiteral("Tile Library"))) << warnings[0].toStdString();
}

}  // namespace
