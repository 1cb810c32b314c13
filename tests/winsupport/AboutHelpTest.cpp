#include "ContextIDs.h"
#include "HyperLinkLabel.h"
#include "clsMonitors.h"
#include "frmAbout.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest/QTest>

#include <memory>

#include <gtest/gtest.h>

namespace {

// Stands in for the browser: records the addresses handed to it.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void Open(const QUrl& url) { urls << url; }
};

TEST(AboutBox, OpenedFromTheMenuShowsTitleVersionAndTheBuiltInCredit)
{
    frmAbout box;
    box.show();
    EXPECT_EQ(box.windowTitle(), QStringLiteral("About Quiltmap"));
    EXPECT_EQ(box.labAppTitle->text(), QStringLiteral("Quiltmap V1.00"));
    EXPECT_FALSE(box.labAuthor->text().isEmpty());
    EXPECT_TRUE(box.labDesc->text().contains(QStringLiteral("Professional Paper 1395")));
    EXPECT_EQ(box.labCopyright->text().split('\n').size(), 3);
    EXPECT_EQ(box.Label1->text(), QStringLiteral("The main Corvane32 web site is:-"));
    EXPECT_EQ(box.cmdOk->text(), QStringLiteral("&Ok"));
    EXPECT_FALSE(box.windowFlags() & Qt::WindowStaysOnTopHint);

    frmAbout another;
    another.setStrAuthor(QStringLiteral("Someone Else"));
    another.show();
    EXPECT_EQ(another.labAuthor->text(), QStringLiteral("Someone Else"));
}

TEST(AboutBox, EscapeOkAndItsAcceleratorCloseTheBox)
{
    enum class How { Escape, EscapeOnTheLink, OkClick, AltO };
    for (How how : {How::Escape, How::EscapeOnTheLink, How::OkClick, How::AltO}) {
        frmAbout box;
        box.show();
        box.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&box));
        switch (how) {
        case How::Escape: QTest::keyClick(&box, Qt::Key_Escape); break;
        case How::EscapeOnTheLink:
            box.SWBHyperLink1->setFocus();
            QTest::keyClick(box.SWBHyperLink1, Qt::Key_Escape);
            break;
        case How::OkClick: QTest::mouseClick(box.cmdOk, Qt::LeftButton); break;
        case How::AltO: QTest::keyClick(&box, Qt::Key_O, Qt::AltModifier); break;  // an animated click
        }
        EXPECT_TRUE(QTest::qWaitFor([&] { return !box.isVisible(); }, 2000)) << "way " << int(how);
    }
}

TEST(AboutBox, TheLinkOpensItsAddress)
{
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "Open");
    frmAbout box;
    box.show();
    const QString shown = box.SWBHyperLink1->text();
    QTest::mouseClick(box.SWBHyperLink1, Qt::LeftButton);
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    ASSERT_EQ(catcher.urls.size(), 1);
    EXPECT_EQ(catcher.urls.first(), QUrl(shown));
}

TEST(AboutBox, CentredOverTheOwner)
{
    struct Case {
        QRect owner;
        QSize box;
        QPoint expected;
    };
    const Case cases[] = {
        {{100, 100, 800, 600}, {400, 200}, {300, 300}},
        {{0, 0, 300, 200}, {400, 300}, {-50, -50}},       // box larger than the owner
        {{-1000, 50, 600, 400}, {200, 100}, {-800, 200}},  // owner on a monitor to the left
    };
    for (const Case& c : cases)
        EXPECT_EQ(frmAbout::CentredOver(c.owner, c.box), c.expected);

    QWidget owner;
    owner.setGeometry(100, 100, 700, 500);
    owner.show();
    frmAbout box;
    box.setParentWindow(&owner);
    box.show();
    const QPoint ownerCentre = owner.frameGeometry().center();
    const QPoint boxCentre = box.frameGeometry().center();
    EXPECT_LE((ownerCentre - boxCentre).manhattanLength(), 2);
}

TEST(AboutBox, MinimisedOwnerCentresTheBoxOnItsMonitor)
{
    clsMonitors monitors([] {
        DisplayLayout layout;
        layout.screens = {clsMonitor::FromRects(1, QRect(0, 0, 1024, 768), QRect(0, 0, 1024, 768))};
        layout.primaryHandle = 1;
        layout.screenWidthTwips = 15360;
        layout.screenHeightTwips = 11520;
        return layout;
    });
    gMonitors = &monitors;
    QWidget owner;
    owner.setGeometry(10, 10, 300, 200);
    owner.showMinimized();
    frmAbout box;
    box.setParentWindow(&owner);
    box.show();
    gMonitors = nullptr;
    const QPoint centre = box.frameGeometry().center();
    EXPECT_NEAR(centre.x(), 512, 2);
    EXPECT_NEAR(centre.y(), 384, 2);
}

TEST(AboutBox, StaysOnTopWhileTheOwnerIsTopMostAndLeavesTheLayerAtClose)
{
    QWidget owner;
    owner.setProperty("blnTopMost", true);
    owner.show();
    frmAbout box;
    box.setParentWindow(&owner);
    box.show();
    EXPECT_TRUE(box.windowFlags() & Qt::WindowStaysOnTopHint);
    box.accept();
    EXPECT_FALSE(box.isVisible());
    EXPECT_FALSE(box.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(owner.property("blnTopMost").toBool());
}

TEST(Help, HelpFileBesideTheProgram)
{
    const std::pair<QString, QString> cases[] = {
        {"/opt/quiltmap", "/opt/quiltmap/Quiltmap.html"},
        {"/opt/quiltmap/", "/opt/quiltmap/Quiltmap.html"},  // no second separator
        {"/", "/Quiltmap.html"},
        {"/opt/quiltmap/  ", "/opt/quiltmap/Quiltmap.html"},
        {"/opt/my maps", "/opt/my maps/Quiltmap.html"},
    };
    for (const auto& [folder, expected] : cases) {
        ContextIDs::InitHelp(nullptr, folder);
        EXPECT_EQ(ContextIDs::HelpFile(), expected) << folder.toStdString();
    }
}

TEST(Help, OpensAtTheTopicRaisesAndCloses)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile help(dir.path() + "/Quiltmap.html");
    ASSERT_TRUE(help.open(QIODevice::WriteOnly));
    help.write("<html><body><h1><a name=\"topic10\"></a>Main</h1><p>one</p>"
               "<h1><a name=\"topic20\"></a>Second</h1><p>two</p></body></html>");
    help.close();

    ContextIDs::InitHelp(nullptr, dir.path());
    ContextIDs::ShowHelpContext(ContextIDs::MainTopic);
    QWidget* window = ContextIDs::HelpWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Quiltmap Help"));
    auto* browser = window->findChild<QTextBrowser*>();
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(browser->source().fragment(), QStringLiteral("topic10"));
    EXPECT_TRUE(browser->toPlainText().contains(QStringLiteral("Second")));

    ContextIDs::ShowHelpContext(20);
    EXPECT_EQ(ContextIDs::HelpWindow(), window);  // the same window, raised
    EXPECT_EQ(browser->source().fragment(), QStringLiteral("topic20"));

    ContextIDs::CloseHelp();
    EXPECT_EQ(ContextIDs::HelpWindow(), nullptr);
    ContextIDs::CloseHelp();  // closing twice is harmless
}

TEST(Help, MissingHelpFileIsReportedWithItsName)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ContextIDs::InitHelp(nullptr, dir.path());
    QString title;
    QString text;
    QTimer poll;
    poll.setInterval(0);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                title = box->windowTitle();
                text = box->text();
                box->accept();
            }
    });
    poll.start();
    ContextIDs::ShowHelpContext(ContextIDs::MainTopic);
    poll.stop();
    EXPECT_EQ(title, QStringLiteral("Quiltmap"));
    EXPECT_TRUE(text.contains(dir.path() + "/Quiltmap.html")) << text.toStdString();
    EXPECT_EQ(ContextIDs::HelpWindow(), nullptr);
}

TEST(Help, TheShippedHelpHasEveryTopicItLinksTo)
{
    const QString path = QFileInfo(QStringLiteral(__FILE__)).absoluteDir().filePath("../../help/Quiltmap.html");
    QFile help(path);
    ASSERT_TRUE(help.open(QIODevice::ReadOnly)) << path.toStdString();
    const QString html = QString::fromUtf8(help.readAll());
    EXPECT_TRUE(html.contains(QStringLiteral("name=\"topic10\"")));
    const QRegularExpression link(QStringLiteral("href=\"#(topic\\d+)\""));
    int links = 0;
    for (auto it = link.globalMatch(html); it.hasNext(); ++links) {
        const QString topic = it.next().captured(1);
        EXPECT_TRUE(html.contains("name=\"" + topic + "\"")) << topic.toStdString();
    }
    EXPECT_GT(links, 0);
}

}  // namespace

#include "AboutHelpTest.moc"
