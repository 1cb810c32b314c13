#include "ContextIDs.h"
#include "TestFiles.h"
#include "clsMonitors.h"
#include "frmAbout.h"

#include <QApplication>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

TEST(AboutBox, CentredOverTheOwnerOrItsMonitorAndOnTopWhileTheOwnerIsTopMost)
{
    EXPECT_EQ(frmAbout::CentredOver({100, 100, 800, 600}, {400, 200}), QPoint(300, 300));
    EXPECT_EQ(frmAbout::CentredOver({-1000, 50, 600, 400}, {200, 100}), QPoint(-800, 200));
    QWidget owner;
    owner.setGeometry(100, 100, 700, 500);
    owner.setProperty("blnTopMost", true);
    owner.show();
    frmAbout box;
    box.setParentWindow(&owner);
    box.show();
    EXPECT_TRUE(box.windowFlags() & Qt::WindowStaysOnTopHint);
    box.accept();
    EXPECT_FALSE(box.windowFlags() & Qt::WindowStaysOnTopHint);  // it leaves the layer at close

    // A minimised owner centres the box on its monitor.
    clsMonitors monitors([] {
        return DisplayLayout{.screens = {clsMonitor::FromRects(1, {0, 0, 1024, 768}, {0, 0, 1024, 768})},
                             .primaryHandle = 1};
    });
    gMonitors = &monitors;
    QWidget minimised;
    minimised.setGeometry(10, 10, 300, 200);
    minimised.showMinimized();
    frmAbout second;
    second.setParentWindow(&minimised);
    second.show();
    gMonitors = nullptr;
    EXPECT_LE((second.frameGeometry().center() - QPoint(512, 384)).manhattanLength(), 3);
}

// The help file's path from the program's folder; the folder is the program's own, else the
// installed data folder when the help lies only there.
TEST(Help, FoundBesideTheProgramElseInTheInstalledDataFolder)
{
    const std::pair<QString, QString> paths[] = {
        {"/opt/quiltmap", "/opt/quiltmap/Quiltmap.html"}, {"/", "/Quiltmap.html"},
        {"/opt/my maps/  ", "/opt/my maps/Quiltmap.html"}};
    for (const auto& [folder, expected] : paths) {
        ContextIDs::InitHelp(nullptr, folder);
        EXPECT_EQ(ContextIDs::HelpFile(), expected) << folder.toStdString();
    }
    const struct { bool beside, installed; QString expected; } cases[] = {  // relative to the install prefix
        {true, false, "bin"}, {false, true, "share/quiltmap"}, {true, true, "bin"}, {false, false, "bin"}};
    for (const auto& c : cases) {
        QTemporaryDir prefix;
        QDir().mkpath(prefix.filePath("bin"));
        ASSERT_TRUE(!c.beside || WriteFile(prefix.filePath("bin/Quiltmap.html"), "<p>beside</p>"));
        ASSERT_TRUE(!c.installed || WriteFile(prefix.filePath("share/quiltmap/Quiltmap.html"), "<p>installed</p>"));
        EXPECT_EQ(ContextIDs::FindHelpFolder(prefix.filePath("bin")), prefix.filePath(c.expected)) << c.beside << c.installed;
    }
}

// A missing help file is reported with its name; once there, the help opens at the topic, is
// raised at the next, and closes.
TEST(Help, MissingFileIsReportedElseOpensAtTheTopicRaisesAndCloses)
{
    QTemporaryDir dir;
    ContextIDs::InitHelp(nullptr, dir.path());
    QString text;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) text = box->text(), box->accept();
    });
    poll.start(0);
    ContextIDs::ShowHelpContext(ContextIDs::MainTopic);
    EXPECT_TRUE(text.contains(dir.path() + "/Quiltmap.html")) << text.toStdString();
    EXPECT_EQ(ContextIDs::HelpWindow(), nullptr);
    poll.stop();

    ASSERT_TRUE(WriteFile(dir.filePath("Quiltmap.html"), "<h1><a name=\"topic10\"></a>Main</h1><p>one</p>"
                                                        "<h1><a name=\"topic20\"></a>Second</h1><p>two</p>"));
    ContextIDs::ShowHelpContext(ContextIDs::MainTopic);
    QWidget* window = ContextIDs::HelpWindow();
    ASSERT_NE(window, nullptr);
    auto* browser = window->findChild<QTextBrowser*>();
    EXPECT_EQ(browser->source().fragment(), "topic10");
    ContextIDs::ShowHelpContext(20);
    EXPECT_EQ(browser->source().fragment(), "topic20");   // in the same window
    ContextIDs::CloseHelp();
    ContextIDs::CloseHelp();  // closing twice is harmless
    EXPECT_EQ(ContextIDs::HelpWindow(), nullptr);
}

}  // namespace
