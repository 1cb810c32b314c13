#include "clsWindowPos.h"

#include "ProgramFolder.h"
#include "TestFiles.h"
#include "clsMonitors.h"

#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest/QTest>

#include <array>
#include <memory>

#include <gtest/gtest.h>

namespace {

using Desktop = clsWindowPos::DesktopTwips;

TEST(ClampToDesktop, KeepsTheStoredRectangleOnTheDesktop)
{
    // Present window 9000 x 6000 twips; 1024 x 768 desktop at 15 twips per pixel, and one with a
    // 1280-pixel monitor to the left of the primary.
    const Desktop single{0, 0, 15360, 11520};
    const Desktop leftMonitor{-19200, 0, 34560, 15360};
    using Rect = std::array<float, 4>;  // left, top, width, height
    const std::tuple<const char*, Desktop, Rect, Rect> cases[] = {
        {"left beyond the right edge: flush right", single, {20000, 2000, 8000, 5000}, {7360, 2000, 8000, 5000}},
        {"left exactly at the right bound stays", single, {7360, 0, 8000, 5000}, {7360, 0, 8000, 5000}},
        {"top beyond the bottom edge: flush bottom", single, {0, 99999, 8000, 5000}, {0, 6520, 8000, 5000}},
        {"width 300: present width", single, {1000, 2000, 300, 5000}, {1000, 2000, 9000, 5000}},
        {"height 499: present height", single, {1000, 2000, 8000, 499}, {1000, 2000, 8000, 6000}},
        {"width and height 500 stay", single, {1000, 2000, 500, 500}, {1000, 2000, 500, 500}},
        {"wider than the desktop", single, {3000, 2000, 20000, 5000}, {0, 2000, 15360, 5000}},
        {"width equal to the desktop stays", single, {0, 0, 15360, 11520}, {0, 0, 15360, 11520}},
        {"negative left above the desktop's", single, {-500, -20, 8000, 5000}, {0, 0, 8000, 5000}},
        {"negative desktop left keeps it", leftMonitor, {-15000, 100, 8000, 5000}, {-15000, 100, 8000, 5000}},
        {"left of a negative desktop left", leftMonitor, {-30000, 100, 8000, 5000}, {-19200, 100, 8000, 5000}},
        {"beyond a negative desktop's right", leftMonitor, {20000, 100, 8000, 5000}, {7360, 100, 8000, 5000}},
    };
    for (auto [what, desktop, rect, expected] : cases) {
        clsWindowPos::ClampToDesktop(rect[0], rect[1], rect[2], rect[3], 9000, 6000, desktop);
        EXPECT_EQ(rect, expected) << what;
    }
}

TEST(ClampToDesktop, TextToBoolean)
{
    const std::pair<QString, bool> cases[] = {
        {"tRUE", true}, {"fALSE", false}, {"-1", true}, {"2.5", true}, {" 1 ", true},
        {"0.0", false}, {"", false}, {"yes", false},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(clsWindowPos::TextReadsTrue(text), expected) << text.toStdString();
}

// A settings file of its own in a temporary program folder, and the program's monitor list.
class WindowPosFile : public ::testing::Test {
protected:
    QTemporaryDir dir;
    const bool folderSet = (OverrideProgramFolder(dir.path()), true);
    clsMonitors monitors;
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QString path = dir.filePath(ExecutableBaseName() + ".INI");

    void SetUp() override { gMonitors = &monitors; }
    void TearDown() override
    {
        gMonitors = nullptr;
        OverrideProgramFolder(QString());
    }
    QStringList SettingsLines() const
    {
        return QString::fromLatin1(ReadFile(path)).split(QRegularExpression("\r?\n"), Qt::SkipEmptyParts);
    }
    // The keys of a window with the given outer rectangle, in twips.
    QStringList Keys(const QString& name, const QRect& r) const
    {
        const auto twips = [](int pixels, double factor) { return QString::number(qRound(pixels * factor)); };
        const double fx = monitors.TwipsPerPixelX(), fy = monitors.TwipsPerPixelY();
        return {name + "_LEFT=" + twips(r.x(), fx), name + "_TOP=" + twips(r.y(), fy),
                name + "_WIDTH=" + twips(r.width(), fx), name + "_HEIGHT=" + twips(r.height(), fy)};
    }
    QRect Centred(int w, int h) const { return {(screen.width() - w) / 2, (screen.height() - h) / 2, w, h}; }
};

TEST_F(WindowPosFile, FirstStartCentresAndWritesTheKeysInOrder)
{
    QWidget w;
    w.resize(400, 300);
    clsWindowPos pos;
    pos.Init(&w, "MAIN");
    EXPECT_EQ(w.frameGeometry(), Centred(400, 300));
    EXPECT_EQ(SettingsLines(),
              QStringList{"[SETUP]"} + Keys("MAIN", Centred(400, 300)) + QStringList{"MAIN_MAXIMIZED=False"});
}

TEST_F(WindowPosFile, AWindowOfFixedSizeKeepsItsSizeAndHasNoMaximizedKey)
{
    ASSERT_TRUE(WriteFile(path, "[SETUP]\r\nDLG_LEFT=1500\r\nDLG_TOP=1500\r\nDLG_WIDTH=7500\r\n"
                                "DLG_HEIGHT=7500\r\n"));
    QWidget w;
    w.setFixedSize(300, 200);
    clsWindowPos pos;
    pos.Init(&w, "DLG");
    EXPECT_EQ(w.frameGeometry(), QRect(100, 100, 300, 200));
    EXPECT_TRUE(SettingsLines().filter("MAXIMIZED").isEmpty());
}

TEST_F(WindowPosFile, MaximisedOrMinimisedWindowComesBackAtItsNormalRectangle)
{
    for (const bool maximise : {true, false}) {
        SCOPED_TRACE(maximise ? "maximised" : "minimised");
        QRect outer;
        {
            QWidget w;
            w.resize(400, 300);
            clsWindowPos pos;
            pos.Init(&w, "MAIN");
            w.setGeometry(50, 60, 500, 350);
            w.show();
            outer = w.frameGeometry();  // the stored rectangle is the outer one
            maximise ? w.showMaximized() : w.showMinimized();
            QTRY_VERIFY(maximise ? w.isMaximized() : w.isMinimized());
        }
        EXPECT_EQ(SettingsLines().mid(1),
                  Keys("MAIN", outer) << (maximise ? "MAIN_MAXIMIZED=True" : "MAIN_MAXIMIZED=False"));
        for (int start = 0; start < (maximise ? 1 : 2); ++start) {  // the same size at every start
            QWidget again;
            again.resize(200, 100);
            clsWindowPos pos;
            pos.Init(&again, "MAIN");
            EXPECT_EQ(again.windowState(), maximise ? Qt::WindowMaximized : Qt::WindowNoState);
            again.show();
            if (maximise) {
                QTRY_VERIFY(again.isMaximized());
                EXPECT_EQ(again.normalGeometry(), QRect(50, 60, 500, 350));
                again.showNormal();
                QTRY_VERIFY(!again.isMaximized());
            }
            EXPECT_EQ(again.frameGeometry(), outer) << "start " << start;
        }
    }
}

TEST_F(WindowPosFile, DamagedValuesCountAsMissing)
{
    ASSERT_TRUE(WriteFile(path, "[SETUP]\r\nMAIN_LEFT=abc\r\nMAIN_TOP=1e999\r\nMAIN_WIDTH=nan\r\nMAIN_HEIGHT=\r\n"
                                "MAIN_MAXIMIZED=perhaps\r\n"));
    QWidget w;
    w.resize(400, 300);
    clsWindowPos pos;
    pos.Init(&w, "MAIN");
    EXPECT_EQ(w.frameGeometry(), Centred(400, 300));
    EXPECT_FALSE(w.windowState() & Qt::WindowMaximized);
}

TEST_F(WindowPosFile, AWindowGoneBeforeItsPositionObjectSavesNothing)
{
    auto pos = std::make_unique<clsWindowPos>();
    {
        QWidget w;
        pos->Init(&w, "GONE");
    }
    QFile::remove(path);
    pos.reset();
    EXPECT_FALSE(QFile::exists(path));
}

}  // namespace
