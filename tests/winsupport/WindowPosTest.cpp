#include "clsWindowPos.h"

#include "ProgramFolder.h"
#include "clsMonitors.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest/QTest>

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
    struct Case {
        const char* what;
        Desktop desktop;
        float in[4];   // left, top, width, height
        float out[4];
    };
    const Case cases[] = {
        {"inside stays", single, {1000, 2000, 8000, 5000}, {1000, 2000, 8000, 5000}},
        {"left beyond the right edge: flush right", single, {20000, 2000, 8000, 5000}, {7360, 2000, 8000, 5000}},
        {"top beyond the bottom edge: flush bottom", single, {0, 99999, 8000, 5000}, {0, 6520, 8000, 5000}},
        {"width 300: present width", single, {1000, 2000, 300, 5000}, {1000, 2000, 9000, 5000}},
        {"height 499: present height", single, {1000, 2000, 8000, 499}, {1000, 2000, 8000, 6000}},
        {"width and height 500 stay", single, {1000, 2000, 500, 500}, {1000, 2000, 500, 500}},
        {"wider than the desktop: desktop width, left at the desktop's",
         single, {3000, 2000, 20000, 5000}, {0, 2000, 15360, 5000}},
        {"width equal to the desktop stays", single, {0, 0, 15360, 11520}, {0, 0, 15360, 11520}},
        {"left exactly at the right bound stays", single, {7360, 0, 8000, 5000}, {7360, 0, 8000, 5000}},
        {"negative left above the desktop's", single, {-500, -20, 8000, 5000}, {0, 0, 8000, 5000}},
        {"desktop with a negative left keeps a window there",
         leftMonitor, {-15000, 100, 8000, 5000}, {-15000, 100, 8000, 5000}},
        {"left of a negative desktop left", leftMonitor, {-30000, 100, 8000, 5000}, {-19200, 100, 8000, 5000}},
        {"beyond a negative desktop's right edge", leftMonitor, {20000, 100, 8000, 5000}, {7360, 100, 8000, 5000}},
    };
    for (const Case& c : cases) {
        float left = c.in[0], top = c.in[1], width = c.in[2], height = c.in[3];
        clsWindowPos::ClampToDesktop(left, top, width, height, 9000, 6000, c.desktop);
        EXPECT_FLOAT_EQ(left, c.out[0]) << c.what;
        EXPECT_FLOAT_EQ(top, c.out[1]) << c.what;
        EXPECT_FLOAT_EQ(width, c.out[2]) << c.what;
        EXPECT_FLOAT_EQ(height, c.out[3]) << c.what;
    }
}

TEST(ClampToDesktop, TextToBoolean)
{
    const std::pair<QString, bool> cases[] = {
        {"True", true},  {"TRUE", true},   {"true", true},  {"False", false}, {"fALSE", false},
        {"-1", true},    {"0", false},     {"2.5", true},   {" 1 ", true},    {"", false},
        {"yes", false},  {"maybe", false}, {"0.0", false},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(clsWindowPos::TextReadsTrue(text), expected) << text.toStdString();
}

// A settings file of its own in a temporary program folder, and the program's monitor list.
class WindowPosFile : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::unique_ptr<clsMonitors> monitors;
    QRect screen;
    double fx = 15;
    double fy = 15;

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        OverrideProgramFolder(dir.path());
        monitors = std::make_unique<clsMonitors>();
        gMonitors = monitors.get();
        screen = QGuiApplication::primaryScreen()->geometry();
        fx = monitors->TwipsPerPixelX();
        fy = monitors->TwipsPerPixelY();
    }
    void TearDown() override
    {
        gMonitors = nullptr;
        OverrideProgramFolder(QString());
    }

    QString SettingsPath() const
    {
        return dir.path() + "/" + ExecutableBaseName() + ".INI";
    }
    QStringList SettingsLines() const
    {
        QFile f(SettingsPath());
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromLatin1(f.readAll()).split(QRegularExpression("\r?\n"), Qt::SkipEmptyParts);
    }
    void WriteSettings(const QString& text) const
    {
        QFile f(SettingsPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text.toLatin1());
    }
    QString Twips(int pixels, double factor) const { return QString::number(qRound(pixels * factor)); }
};

TEST_F(WindowPosFile, FirstStartCentresAndWritesTheKeysInOrder)
{
    QWidget w;
    w.resize(400, 300);
    {
        clsWindowPos pos;
        pos.Init(&w, "MAIN");
        EXPECT_EQ(w.frameGeometry().topLeft(),
                  QPoint((screen.width() - 400) / 2, (screen.height() - 300) / 2));
        const QStringList expected{
            "[SETUP]",
            "MAIN_LEFT=" + Twips((screen.width() - 400) / 2, fx),
            "MAIN_TOP=" + Twips((screen.height() - 300) / 2, fy),
            "MAIN_WIDTH=" + Twips(400, fx),
            "MAIN_HEIGHT=" + Twips(300, fy),
            "MAIN_MAXIMIZED=False",
        };
        EXPECT_EQ(SettingsLines(), expected);
    }
}

TEST_F(WindowPosFile, AWindowOfFixedSizeKeepsItsSizeAndHasNoMaximizedKeyAtStart)
{
    WriteSettings("[SETUP]\r\nDLG_LEFT=1500\r\nDLG_TOP=1500\r\nDLG_WIDTH=7500\r\nDLG_HEIGHT=7500\r\n");
    QWidget w;
    w.setFixedSize(300, 200);
    clsWindowPos pos;
    pos.Init(&w, "DLG");
    EXPECT_EQ(w.frameGeometry(), QRect(100, 100, 300, 200));
    EXPECT_EQ(SettingsLines().filter("MAXIMIZED").size(), 0);
}

TEST_F(WindowPosFile, MaximisedWindowComesBackAtItsNormalRectangleThenMaximised)
{
    QRect outer;
    {
        QWidget w;
        w.resize(400, 300);
        clsWindowPos pos;
        pos.Init(&w, "MAIN");
        w.setGeometry(50, 60, 500, 350);
        w.show();
        outer = w.frameGeometry();  // the stored rectangle is the outer one
        w.showMaximized();
        QTRY_VERIFY(w.isMaximized());
    }
    const QStringList lines = SettingsLines();
    EXPECT_TRUE(lines.contains("MAIN_LEFT=" + Twips(outer.x(), fx))) << lines.join(' ').toStdString();
    EXPECT_TRUE(lines.contains("MAIN_TOP=" + Twips(outer.y(), fy)));
    EXPECT_TRUE(lines.contains("MAIN_WIDTH=" + Twips(outer.width(), fx)));
    EXPECT_TRUE(lines.contains("MAIN_HEIGHT=" + Twips(outer.height(), fy)));
    EXPECT_TRUE(lines.contains("MAIN_MAXIMIZED=True"));

    QWidget again;
    again.resize(200, 100);
    clsWindowPos pos;
    pos.Init(&again, "MAIN");
    EXPECT_TRUE(again.windowState() & Qt::WindowMaximized);
    again.show();
    QTRY_VERIFY(again.isMaximized());
    EXPECT_EQ(again.normalGeometry(), QRect(50, 60, 500, 350));
    again.showNormal();
    QTRY_VERIFY(!again.isMaximized());
    EXPECT_EQ(again.frameGeometry(), outer);
}

TEST_F(WindowPosFile, MinimisedWindowComesBackNormalAndTheSameSizeEveryTime)
{
    QRect outer;
    {
        QWidget w;
        w.resize(400, 300);
        clsWindowPos pos;
        pos.Init(&w, "MAIN");
        w.setGeometry(70, 80, 420, 310);
        w.show();
        outer = w.frameGeometry();
        w.showMinimized();
        QTRY_VERIFY(w.isMinimized());
    }
    EXPECT_TRUE(SettingsLines().contains("MAIN_MAXIMIZED=False"));

    for (int start = 0; start < 2; ++start) {
        QWidget again;
        again.resize(200, 100);
        clsWindowPos pos;
        pos.Init(&again, "MAIN");
        EXPECT_FALSE(again.windowState() & (Qt::WindowMaximized | Qt::WindowMinimized));
        again.show();
        EXPECT_EQ(again.frameGeometry(), outer) << "start " << start;
    }
}

TEST_F(WindowPosFile, DamagedValuesCountAsMissing)
{
    WriteSettings("[SETUP]\r\nMAIN_LEFT=abc\r\nMAIN_TOP=1e999\r\nMAIN_WIDTH=nan\r\nMAIN_HEIGHT=\r\n"
                  "MAIN_MAXIMIZED=perhaps\r\n");
    QWidget w;
    w.resize(400, 300);
    clsWindowPos pos;
    pos.Init(&w, "MAIN");
    EXPECT_EQ(w.frameGeometry(), QRect((screen.width() - 400) / 2, (screen.height() - 300) / 2, 400, 300));
    EXPECT_FALSE(w.windowState() & Qt::WindowMaximized);
}

TEST_F(WindowPosFile, AWindowGoneBeforeItsPositionObjectSavesNothing)
{
    auto pos = std::make_unique<clsWindowPos>();
    {
        QWidget w;
        w.resize(400, 300);
        pos->Init(&w, "GONE");
    }
    QFile::remove(SettingsPath());
    pos.reset();
    EXPECT_FALSE(QFile::exists(SettingsPath()));
}

}  // namespace
