#include "clsWindowPos.h"

#include "ProgramFolder.h"
#include "clsIni.h"
#include "TestFiles.h"
#include "clsMonitors.h"

#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QWidget>

#include <array>

#include <gtest/gtest.h>

namespace {

TEST(ClampToDesktop, KeepsTheStoredRectangleOnTheDesktop)
{
    // Present window 9000 x 6000 twips; a 1024 x 768 desktop, and one with a 1280-pixel monitor left of the primary.
    const clsWindowPos::DesktopTwips one{0, 0, 15360, 11520}, two{-19200, 0, 34560, 15360};
    using Rect = std::array<float, 4>;  // left, top, width, height
    const std::tuple<const char*, clsWindowPos::DesktopTwips, Rect, Rect> cases[] = {
        {"left beyond the right edge: flush right", one, {20000, 2000, 8000, 5000}, {7360, 2000, 8000, 5000}},
        {"top beyond the bottom edge: flush bottom", one, {0, 99999, 8000, 5000}, {0, 6520, 8000, 5000}},
        {"width 300, height 499: present size", one, {1000, 2000, 300, 499}, {1000, 2000, 9000, 6000}},
        {"width and height 500 stay", one, {1000, 2000, 500, 500}, {1000, 2000, 500, 500}},
        {"wider than the desktop", one, {3000, 2000, 20000, 5000}, {0, 2000, 15360, 5000}},
        {"negative left above the desktop's", one, {-500, -20, 8000, 5000}, {0, 0, 8000, 5000}},
        {"left of a negative desktop left", two, {-30000, 100, 8000, 5000}, {-19200, 100, 8000, 5000}},
        {"beyond a negative desktop's right", two, {20000, 100, 8000, 5000}, {7360, 100, 8000, 5000}}};
    for (auto [what, desktop, rect, expected] : cases) {
        clsWindowPos::ClampToDesktop(rect[0], rect[1], rect[2], rect[3], 9000, 6000, desktop);
        EXPECT_EQ(rect, expected) << what;
    }
}

// A settings file of its own in a temporary program folder, and the program's monitor list.
class WindowPosFile : public ::testing::Test {
protected:
    QTemporaryDir dir;
    const bool folderSet = (OverrideProgramFolder(dir.path()), true);
    clsMonitors monitors;
    const QString path = dir.filePath(ExecutableBaseName() + ".INI");
    void SetUp() override { gMonitors = &monitors; }
    void TearDown() override { gMonitors = nullptr, OverrideProgramFolder(QString()); }
    QStringList Lines() const { return QString(ReadFile(path)).split(QRegularExpression("\r?\n"), Qt::SkipEmptyParts); }
    // The keys of a window with the given outer rectangle, in twips.
    QStringList Keys(const QRect& r) const
    {
        const auto twips = [](int pixels, double factor) { return QString::number(qRound(pixels * factor)); };
        const double fx = monitors.TwipsPerPixelX(), fy = monitors.TwipsPerPixelY();
        return {"MAIN_LEFT=" + twips(r.x(), fx), "MAIN_TOP=" + twips(r.y(), fy), "MAIN_WIDTH=" + twips(r.width(), fx),
                "MAIN_HEIGHT=" + twips(r.height(), fy)};
    }
    QRect Centred() const
    {
        const QSize free = QGuiApplication::primaryScreen()->geometry().size() - QSize(400, 300);
        return {free.width() / 2, free.height() / 2, 400, 300};
    }
};

// The first start centres the window and writes its keys in order; damaged values count as missing.
TEST_F(WindowPosFile, FirstStartOrDamagedValuesCentre)
{
    for (const bool damaged : {false, true}) {
        ASSERT_TRUE(!damaged || WriteFile(path, "[SETUP]\r\nMAIN_LEFT=abc\r\nMAIN_TOP=1e999\r\nMAIN_WIDTH=nan\r\n"
                                                "MAIN_HEIGHT=\r\nMAIN_MAXIMIZED=perhaps\r\n"));
        QWidget w;
        w.resize(400, 300);
        clsWindowPos pos;
        pos.Init(&w, "MAIN");
        EXPECT_EQ(w.frameGeometry(), Centred()) << damaged;
        EXPECT_FALSE(w.windowState() & Qt::WindowMaximized);
        if (!damaged) {
            EXPECT_EQ(Lines(), QStringList{"[SETUP]"} + Keys(Centred()) + QStringList{"MAIN_MAXIMIZED=False"});
        }
    }
}

// Waits for a window manager, where there is one, to frame a shown window, and to fit a maximised
// one to the work area.
void WaitForTheFrame(QWidget& w)
{
    (void)QTest::qWaitFor([&] {
        return !FrameMargins(&w).isNull() && (!w.isMaximized() || w.frameGeometry() == w.screen()->availableGeometry());
    });
}

// Under a window manager the frame of a maximised window is not its normal frame: the normal outer
// rectangle is stored and comes back all the same, start after start.
TEST_F(WindowPosFile, MaximisedOrMinimisedWindowComesBackAtItsNormalRectangle)
{
    for (const bool maximise : {true, false}) {
        SCOPED_TRACE(maximise ? "maximised" : "minimised");
        QRect outer;
        {
            QWidget w;
            clsWindowPos pos;
            pos.Init(&w, "MAIN");
            w.setGeometry(50, 60, 500, 350);
            w.show();
            WaitForTheFrame(w);
            outer = w.frameGeometry();  // the stored rectangle is the outer one
            maximise ? w.showMaximized() : w.showMinimized();
            ASSERT_TRUE(QTest::qWaitFor([&] { return maximise ? w.isMaximized() : w.isMinimized(); }));
            WaitForTheFrame(w);
        }
        const QStringList stored = Keys(outer) << (maximise ? "MAIN_MAXIMIZED=True" : "MAIN_MAXIMIZED=False");
        EXPECT_EQ(Lines().mid(1), stored);
        // Closed maximised twice, then un-maximised.
        for (int start = 0; start < 3; ++start) {
            QWidget again;
            again.resize(200, 100);
            clsWindowPos pos;
            pos.Init(&again, "MAIN");
            EXPECT_EQ(again.windowState(), maximise ? Qt::WindowMaximized : Qt::WindowNoState);
            again.show();
            WaitForTheFrame(again);
            if (maximise && start < 2) continue;
            if (maximise) {
                again.showNormal();
                ASSERT_TRUE(QTest::qWaitFor([&] { return !again.isMaximized(); }));
            }
            EXPECT_EQ(Settled([&] { return again.frameGeometry(); }, outer), outer) << "start " << start;
        }
        EXPECT_EQ(Lines().mid(1), maximise ? Keys(outer) << "MAIN_MAXIMIZED=False" : stored);
    }
}

}  // namespace
