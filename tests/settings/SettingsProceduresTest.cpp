#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "ProgramFolder.h"
#include "SettingsProcedures.h"
#include "TestFiles.h"

namespace {

class Settings : public ::testing::Test {
protected:
    void TearDown() override { OverrideProgramFolder(QString()); }
    QString FilePath() const { return dir.filePath(ExecutableBaseName() + ".INI"); }
    void WriteRaw(const QByteArray& content) { ASSERT_TRUE(WriteFile(FilePath(), content)); }
    QTemporaryDir dir;
    const bool folderSet = (OverrideProgramFolder(dir.path()), true);
    clsIni ini;  // made after the folder is set: its file lies beside the program under its name
};

TEST_F(Settings, FirstStartWritesTheDefaultsInOrderAfterTheWindowKeys)
{
    LoadSettings(ini, ListCounts{});
    const QByteArray window = "[SETUP]\r\nMAIN_LEFT=1200\r\nMAIN_MAXIMIZED=False\r\n";
    const QByteArray defaults = "FILE_NAME_OPTION=1\r\nRESOLUTION=0\r\nIMAGE_TYPE=0\r\n"
                                "WIDTH=4\r\nHEIGHT=4\r\nREF_POINT=0\r\n";
    EXPECT_EQ(ReadFile(FilePath()), "[SETUP]\r\n" + defaults);
    WriteRaw(window);
    LoadSettings(ini, ListCounts{});
    LoadSettings(ini, ListCounts{});  // a second start writes nothing more
    EXPECT_EQ(ReadFile(FilePath()), window + defaults);
}

TEST_F(Settings, StoredValuesOutsideTheirRangeFallBack)
{
    const struct { const char* Stored; int16_t FileNameOption, Scale, Width; bool Centre; } cases[] = {
        {"WIDTH=7\r\nRESOLUTION=9\r\nREF_POINT=1\r\nFILE_NAME_OPTION=0", 0, 9, 7, false},
        {"WIDTH=8\r\nRESOLUTION=10", 1, 0, 0, true},  // beyond the list: its first item, not the default
        {"WIDTH=-1\r\nREF_POINT=2\r\nFILE_NAME_OPTION=5", 1, 0, 0, true},
        {"REF_POINT=-1\r\nFILE_NAME_OPTION=-1", 1, 0, 4, true},
        {"WIDTH=abc\r\nFILE_NAME_OPTION=zero\r\nRESOLUTION=2.5", 1, 0, 4, true},  // as if missing
        {"WIDTH=40000\r\nRESOLUTION=\"\"", 1, 0, 4, true},
        {"WIDTH=\r\nFILE_NAME_OPTION=\r\nREF_POINT=\r\nRESOLUTION=3.0", 0, 3, 0, true},  // empty reads as 0
        {"WIDTH=$!*%", 1, 0, 4, true}};
    for (const auto& c : cases) {
        WriteRaw(QByteArray("[SETUP]\r\n") + c.Stored + "\r\n");
        const StoredChoices got = LoadSettings(ini, ListCounts{});
        const ListChoices& l = got.Lists;
        EXPECT_EQ(std::tuple(got.FileNameOption, l.ScaleIndex, l.WidthIndex, l.ReferenceIsCentre),
                  std::tuple(c.FileNameOption, c.Scale, c.Width, c.Centre)) << c.Stored;
    }
}

TEST_F(Settings, SavedChoicesComeBack)
{
    WriteRaw("[SETUP]\r\nFILE_NAME_OPTION=1\r\n");
    SaveFileNameOption(ini, 0);
    SaveSettings(ini, {.ScaleIndex = 3, .WidthIndex = 7, .HeightIndex = 0, .TypeIndex = 1, .ReferenceIsCentre = false});
    EXPECT_EQ(ReadFile(FilePath()), "[SETUP]\r\nFILE_NAME_OPTION=0\r\nRESOLUTION=3\r\nIMAGE_TYPE=1\r\nWIDTH=7\r\n"
                                    "HEIGHT=0\r\nREF_POINT=1\r\n");
}

TEST_F(Settings, TheTileServerIsReadButNeverWritten)
{
    EXPECT_EQ(StoredTileServer(ini), QString());
    EXPECT_FALSE(QFile::exists(FilePath()));
    WriteRaw("[SETUP]\r\nTILE_SERVER = http://localhost:8080 \r\n");
    EXPECT_EQ(StoredTileServer(ini), "http://localhost:8080");
}

}  // namespace

// Where the program keeps its files: an installed layout always means the per-user folder,
// whoever runs it; a build folder keeps its own files while it can.
TEST(ProgramFolderTest, InstalledLayoutDecidesAndNotWritableFallsBack)
{
    const struct { bool Installed, Writable, PerUser; } cases[] = {
        {false, true, false}, {false, false, true}, {true, true, true}, {true, false, true}};
    for (const auto& c : cases) {
        if (!c.Writable && ::geteuid() == 0) continue;  // root writes anywhere; the install test runs that case
        QTemporaryDir root;
        const QString bin = root.filePath("prefix/bin");
        ASSERT_TRUE(QDir().mkpath(bin));
        ASSERT_TRUE(!c.Installed || QDir().mkpath(InstalledDataFolder(bin)));
        ::chmod(QFile::encodeName(bin).constData(), c.Writable ? 0755 : 0555);
        const QString chosen = ChooseProgramFolder(bin, root.filePath("home/Quiltmap"));
        ::chmod(QFile::encodeName(bin).constData(), 0755);
        EXPECT_EQ(chosen, c.PerUser ? root.filePath("home/Quiltmap") : bin)
            << "installed " << c.Installed << " writable " << c.Writable;
        EXPECT_EQ(QDir(bin).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
    }
}
