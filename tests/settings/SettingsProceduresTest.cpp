#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "ProgramFolder.h"
#include "SettingsProcedures.h"

namespace {

class Settings : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        OverrideProgramFolder(dir.path());
    }
    void TearDown() override { OverrideProgramFolder(QString()); }

    QString FilePath() const { return dir.filePath(ExecutableBaseName() + QStringLiteral(".INI")); }

    void WriteRaw(const QByteArray& content)
    {
        QFile file(FilePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    QByteArray ReadRaw() const
    {
        QFile file(FilePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir;
};

TEST_F(Settings, TheFileLiesBesideTheProgramUnderItsName)
{
    EXPECT_EQ(clsIni().strIniName(), FilePath());
}

TEST_F(Settings, FirstStartWritesTheDefaultsInOrder)
{
    clsIni ini;
    const StoredChoices choices = LoadSettings(ini, ListCounts{});
    EXPECT_EQ(choices.FileNameOption, 1);
    EXPECT_EQ(choices.Lists.ScaleIndex, 0);
    EXPECT_EQ(choices.Lists.TypeIndex, 0);
    EXPECT_EQ(choices.Lists.WidthIndex, 4);
    EXPECT_EQ(choices.Lists.HeightIndex, 4);
    EXPECT_TRUE(choices.Lists.ReferenceIsCentre);
    EXPECT_EQ(ReadRaw(), QByteArray("[SETUP]\r\nFILE_NAME_OPTION=1\r\nRESOLUTION=0\r\nIMAGE_TYPE=0\r\n"
                                    "WIDTH=4\r\nHEIGHT=4\r\nREF_POINT=0\r\n"));

    // A second start finds everything and writes nothing more.
    LoadSettings(ini, ListCounts{});
    EXPECT_EQ(ReadRaw().count('\n'), 7);
}

TEST_F(Settings, StartUpKeysFollowTheWindowPositionKeys)
{
    WriteRaw("[SETUP]\r\nMAIN_LEFT=1200\r\nMAIN_TOP=900\r\nMAIN_WIDTH=9000\r\nMAIN_HEIGHT=7000\r\n"
             "MAIN_MAXIMIZED=False\r\n");
    clsIni ini;
    LoadSettings(ini, ListCounts{});
    ini.SaveIniString(QStringLiteral("SETUP"), QStringLiteral("FIRST_TIME"), false);
    QStringList keys;
    QStringList values;
    ini.LoadAllKeysInSection(values, QStringLiteral("SETUP"), &keys);
    EXPECT_EQ(keys, (QStringList{QString(), "MAIN_LEFT", "MAIN_TOP", "MAIN_WIDTH", "MAIN_HEIGHT", "MAIN_MAXIMIZED",
                                 "FILE_NAME_OPTION", "RESOLUTION", "IMAGE_TYPE", "WIDTH", "HEIGHT", "REF_POINT",
                                 "FIRST_TIME"}));
    EXPECT_EQ(values.last(), QStringLiteral("False"));
}

TEST_F(Settings, StoredValuesOutsideTheirRangeFallBack)
{
    const struct {
        const char* Stored;
        int16_t FileNameOption;
        int16_t Scale;
        int16_t Width;
        bool Centre;
    } cases[] = {
        {"WIDTH=7\r\nRESOLUTION=9\r\nREF_POINT=1\r\nFILE_NAME_OPTION=0", 0, 9, 7, false},
        {"WIDTH=99", 1, 0, 0, true},          // beyond the list: its first item, not the default
        {"WIDTH=8\r\nRESOLUTION=10", 1, 0, 0, true},
        {"WIDTH=-1\r\nRESOLUTION=-1", 1, 0, 0, true},
        {"REF_POINT=2", 1, 0, 4, true},
        {"REF_POINT=-1", 1, 0, 4, true},
        {"FILE_NAME_OPTION=5", 1, 0, 4, true},
        {"FILE_NAME_OPTION=-1", 1, 0, 4, true},
        // Not 16-bit integers: as if missing.
        {"WIDTH=abc\r\nFILE_NAME_OPTION=zero", 1, 0, 4, true},
        {"WIDTH=40000\r\nRESOLUTION=2.5", 1, 0, 4, true},
        {"WIDTH=\r\nRESOLUTION=\"\"", 1, 0, 4, true},
        {"WIDTH=$!*%", 1, 0, 4, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Stored);
        WriteRaw(QByteArray("[SETUP]\r\n") + c.Stored + "\r\n");
        clsIni ini;
        const StoredChoices choices = LoadSettings(ini, ListCounts{});
        EXPECT_EQ(choices.FileNameOption, c.FileNameOption);
        EXPECT_EQ(choices.Lists.ScaleIndex, c.Scale);
        EXPECT_EQ(choices.Lists.WidthIndex, c.Width);
        EXPECT_EQ(choices.Lists.ReferenceIsCentre, c.Centre);
    }
}

TEST_F(Settings, SavedChoicesComeBack)
{
    WriteRaw("[SETUP]\r\nFILE_NAME_OPTION=0\r\n");
    clsIni ini;
    ListChoices lists;
    lists.ScaleIndex = 3;
    lists.TypeIndex = 1;
    lists.WidthIndex = 7;
    lists.HeightIndex = 0;
    lists.ReferenceIsCentre = false;
    SaveSettings(ini, lists);
    EXPECT_EQ(ReadRaw(), QByteArray("[SETUP]\r\nFILE_NAME_OPTION=0\r\nRESOLUTION=3\r\nIMAGE_TYPE=1\r\n"
                                    "WIDTH=7\r\nHEIGHT=0\r\nREF_POINT=1\r\n"));
    const StoredChoices loaded = LoadSettings(ini, ListCounts{});
    EXPECT_EQ(loaded.FileNameOption, 0);
    EXPECT_EQ(loaded.Lists.ScaleIndex, 3);
    EXPECT_EQ(loaded.Lists.TypeIndex, 1);
    EXPECT_EQ(loaded.Lists.WidthIndex, 7);
    EXPECT_EQ(loaded.Lists.HeightIndex, 0);
    EXPECT_FALSE(loaded.Lists.ReferenceIsCentre);
}

TEST_F(Settings, APickedFileNameRuleIsStoredAtOnce)
{
    WriteRaw("[SETUP]\r\nFILE_NAME_OPTION=1\r\nWIDTH=2\r\n");
    clsIni ini;
    SaveFileNameOption(ini, 0);
    EXPECT_EQ(ReadRaw(), QByteArray("[SETUP]\r\nFILE_NAME_OPTION=0\r\nWIDTH=2\r\n"));
    SaveFileNameOption(ini, 1);
    EXPECT_EQ(LoadSettings(ini, ListCounts{}).FileNameOption, 1);
}

TEST_F(Settings, TheTileServerIsReadButNeverWritten)
{
    clsIni ini;
    EXPECT_EQ(StoredTileServer(ini), QString());
    EXPECT_FALSE(QFile::exists(FilePath()));
    WriteRaw("[SETUP]\r\nTILE_SERVER = http://localhost:8080 \r\n");
    EXPECT_EQ(StoredTileServer(ini), QStringLiteral("http://localhost:8080"));
}

}  // namespace
