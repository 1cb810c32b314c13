#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "TestFiles.h"
#include "clsIni.h"

namespace {

// Makes a file or folder unwritable while it lives: permission bits, or as root the immutable flag.
struct WriteLock {
    QString path;
    QFileDevice::Permissions old = QFile::permissions(path);
    bool immutable = QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ExeOwner)
        && QFileInfo(path).isWritable() && SetImmutable(true);
    ~WriteLock() { (immutable && SetImmutable(false)), QFile::setPermissions(path, old); }
    bool Locked() const { return !QFileInfo(path).isWritable(); }
    bool SetImmutable(bool on) const
    {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
        int flags = 0;
        bool done = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        ::close(fd);
        return done;
    }
};

class IniFile : public ::testing::Test {
protected:
    void SetUp() override { ini.setStrIniName(dir.filePath("Quiltmap.INI")); }
    void WriteRaw(const QByteArray& content) { ASSERT_TRUE(WriteFile(ini.strIniName(), content)); }
    QByteArray ReadRaw() const { return ReadFile(ini.strIniName()); }
    QString Get(const QString& section, const QString& key) { return ini.GetIniString(section, key, "(missing)"); }
    QTemporaryDir dir;
    clsIni ini;
};

TEST_F(IniFile, ValuesSurviveTheirWayThroughTheFile)
{
    const std::pair<QString, QByteArray> cases[] = {
        {"plain", "plain"}, {" leading", "\" leading\""}, {"trailing ", "\"trailing \""}, {"\ttab", "\"\ttab\""},
        {"", "\"\""}, {"in \"the\" middle", "in \"the\" middle"}, {"Grüße", "Gr\xC3\xBC\xC3\x9F" "e"}};
    for (const auto& [value, stored] : cases) {
        ASSERT_TRUE(ini.SaveIniString("SETUP", "KEY", value));
        EXPECT_EQ(Get("SETUP", "KEY"), value);
        EXPECT_EQ(ReadRaw(), "[SETUP]\r\nKEY=" + stored + "\r\n");
    }
}

TEST_F(IniFile, NewKeysGoToTheEndOfTheirSectionAndLineEndsAreKept)
{
    WriteRaw("; settings\n[A]\nX=1\n\n[B]\nY=2");
    int value = 3;
    for (const char* at : {"AZ", "BW", "CV", "AX"})  // section and key
        ASSERT_TRUE(ini.SaveIniString(QString(QChar(at[0])), QString(QChar(at[1])), value++));
    EXPECT_EQ(ReadRaw(), "; settings\n[A]\nX=6\nZ=3\n\n[B]\nY=2\nW=4\n[C]\nV=5\n");
    WriteRaw("\xEF\xBB\xBF[SETUP]\nA=1\r\nB=2\rC=3");
    ASSERT_TRUE(ini.SaveIniString("SETUP", "D", 4));
    EXPECT_EQ(ReadRaw(), "\xEF\xBB\xBF[SETUP]\nA=1\r\nB=2\rC=3\nD=4\n");
}

// Reading trims blanks and one pair of quotes and ignores case; values end at a NUL and section
// names at the last bracket.
TEST_F(IniFile, ReadingTrimsQuotesEndsAtANulAndTakesTheLastBracket)
{
    const char raw[] = "[S]\nA =  spaced out  \nB=\"\"twice\"\"\nC=\"open\nD=\"\n G\t=\t\" x \" \n"
                       "[SETUP]\r\nMAIN_MAXIMIZED=True\0junk\r\nQ=\"x\0\"\r\nE=\0x\r\n[U]]\r\nK=1\r\n[ V ] ]\r\nL=2\r\n";
    WriteRaw(QByteArray(raw, sizeof raw - 1));
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"s", "a", "spaced out"}, {"s", "B", "\"twice\""}, {"s", "C", "\"open"}, {"s", "D", "\""}, {"s", "G", " x "},
        {"s", "H", "(missing)"}, {"SETUP", "MAIN_MAXIMIZED", "True"}, {"SETUP", "Q", "\"x"}, {"SETUP", "E", ""},
        {"U]", "K", "1"}, {"U", "K", "(missing)"}, {"V ]", "L", "2"}};
    for (const auto& [section, key, expected] : cases) EXPECT_EQ(Get(section, key), expected) << section << " " << key;
    ASSERT_TRUE(ini.SaveIniString("s", "a", 1));  // keeps the existing spelling
    EXPECT_TRUE(ReadRaw().startsWith("[S]\nA=1\n"));
    ASSERT_TRUE(ini.SaveIniString("SET]UP", "A", 1));  // a bracket in a name reads back now
    EXPECT_EQ(Get("SET]UP", "A"), "1");
}

TEST_F(IniFile, TheFirstOfDuplicateKeysCountsAndDeletingRemovesThemAll)
{
    WriteRaw("[A]\r\nX=1\r\nY=2\r\nx=3\r\n[B]\r\nZ=4\r\n[a]\r\nX=5\r\n");
    EXPECT_EQ(Get("A", "X"), "1");
    ASSERT_TRUE(ini.DeleteKey("A", "X"));
    EXPECT_EQ(ReadRaw(), "[A]\r\nY=2\r\n[B]\r\nZ=4\r\n[a]\r\nX=5\r\n");
}

TEST_F(IniFile, MissingKeysAreWrittenWithTheDefaultAsTextAndTheSentinelCountsAsMissing)
{
    WriteRaw("[SETUP]\r\nMARKED=$!*%\r\nKEPT=7\r\n");
    const std::tuple<const char*, QVariant, QString> cases[] = {
        {"MARKED", 3, "3"}, {"KEPT", 3, "7"}, {"NEW", false, "False"}, {"SPACED", " x ", " x "},
        {"FLOAT", 12345678.0f, "12345678"}, {"HALF", 0.5, "0.5"}};
    for (const auto& [key, value, expected] : cases)
        EXPECT_EQ(ini.GetIniStringWriteDefault("SETUP", key, value), expected) << key;
    EXPECT_EQ(ReadRaw(), "[SETUP]\r\nMARKED=3\r\nKEPT=7\r\nNEW=False\r\nSPACED=\" x \"\r\nFLOAT=12345678\r\nHALF=0.5\r\n");
    ASSERT_TRUE(ini.SaveIniString("SETUP", "LONG", QString(1500, 'v')));  // read back cut at 1023
    EXPECT_EQ(Get("SETUP", "LONG"), QString(1023, 'v'));
}

TEST_F(IniFile, WritesThatWouldReadBackAsSomethingElseAreRefused)
{
    WriteRaw("[SETUP]\r\nA=1\r\n");
    const std::tuple<const char*, const char*, QString> cases[] = {
        {"SETUP", "A", "1\r\n[EVIL]\r\nB=2"}, {"SETUP", "A", "1\nB=2"}, {"SETUP", "B=C", "1"}, {"SETUP", ";B", "1"},
        {"SETUP", "[B]", "1"}, {"SETUP", "", "1"}, {"", "A", "1"}, {"SETUP", "A", QString("1") + QChar(0) + "2"}};
    for (const auto& [section, key, value] : cases)
        EXPECT_FALSE(ini.SaveIniString(section, key, value)) << key << " " << value.toStdString();
    EXPECT_EQ(ReadRaw(), "[SETUP]\r\nA=1\r\n");
}

TEST_F(IniFile, AFailedWriteLeavesTheFileAsItWas)
{
    for (const bool lockFolder : {true, false}) {
        WriteRaw("[SETUP]\r\nWIDTH=2\r\n");
        {
            const WriteLock lock{lockFolder ? dir.path() : ini.strIniName()};
            if (!lock.Locked()) GTEST_SKIP() << "cannot make files unwritable here";
            EXPECT_FALSE(ini.SaveIniString("SETUP", "WIDTH", 5));
            EXPECT_EQ(ini.GetIniStringWriteDefault("SETUP", "HEIGHT", 4), "4");
        }
        EXPECT_EQ(ReadRaw(), "[SETUP]\r\nWIDTH=2\r\n");
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Quiltmap.INI"});
    }
}

// Stored text as a number and as a truth.
TEST(IniTruth, StoredTextAsNumberAndBoolean)
{
    const std::tuple<QString, std::optional<double>, bool> cases[] = {
        {"", 0.0, false}, {" 12 ", 12.0, true}, {"-1", -1.0, true}, {"0.0", 0.0, false}, {"tRUE", std::nullopt, true},
        {"yes", std::nullopt, false}, {"12W", std::nullopt, false}, {"nan", std::nullopt, false}, {"inf", std::nullopt, false}};
    for (const auto& [text, number, truth] : cases) {
        EXPECT_EQ(clsIni::TextToNumber(text), number) << text.toStdString();
        EXPECT_EQ(clsIni::TextToBoolean(text), truth) << text.toStdString();
    }
}

}  // namespace
