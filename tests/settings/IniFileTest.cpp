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
class WriteLock {
public:
    explicit WriteLock(const QString& path) : m_path(path), m_permissions(QFile::permissions(path))
    {
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        m_immutable = QFileInfo(path).isWritable() && SetImmutable(true);
    }
    ~WriteLock()
    {
        if (m_immutable)
            SetImmutable(false);
        QFile::setPermissions(m_path, m_permissions);
    }
    bool Locked() const { return !QFileInfo(m_path).isWritable(); }

private:
    bool SetImmutable(bool on)
    {
        const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDONLY);
        int flags = 0;
        bool done = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        ::close(fd);
        return done;
    }
    QString m_path;
    QFileDevice::Permissions m_permissions;
    bool m_immutable = false;
};

class IniFile : public ::testing::Test {
protected:
    void SetUp() override { ini.setStrIniName(dir.filePath("Quiltmap.INI")); }
    void WriteRaw(const QByteArray& content) { ASSERT_TRUE(WriteFile(ini.strIniName(), content)); }
    QByteArray ReadRaw() const { return ReadFile(ini.strIniName()); }
    QString Get(const QString& section, const QString& key) const
    {
        return ini.GetIniString(section, key, "(missing)");
    }

    QTemporaryDir dir;
    clsIni ini;
};

TEST_F(IniFile, ValuesSurviveTheirWayThroughTheFile)
{
    const std::pair<QString, QByteArray> cases[] = {
        {"plain", "plain"},  {" leading", "\" leading\""},         {"trailing ", "\"trailing \""},
        {"\ttab", "\"\ttab\""}, {"", "\"\""}, {"in \"the\" middle", "in \"the\" middle"},
        {"Grüße", "Gr\xC3\xBC\xC3\x9F" "e"},
    };
    for (const auto& [value, stored] : cases) {
        ASSERT_TRUE(ini.SaveIniString("SETUP", "KEY", value));
        EXPECT_EQ(Get("SETUP", "KEY"), value);
        EXPECT_EQ(ReadRaw(), "[SETUP]\r\nKEY=" + stored + "\r\n");
    }
}

TEST_F(IniFile, ReadingTrimsBlanksAndOnePairOfQuotesAndIgnoresCase)
{
    WriteRaw("[S]\nA =  spaced out  \nB=\"\"twice\"\"\nC=\"open\nD=\"\n G\t=\t\" x \" \n");
    const std::pair<const char*, const char*> cases[] = {
        {"a", "spaced out"}, {"B", "\"twice\""}, {"C", "\"open"}, {"D", "\""}, {"G", " x "}, {"H", "(missing)"},
    };
    for (const auto& [key, expected] : cases)
        EXPECT_EQ(Get("s", key), expected) << key;
    // A write keeps the existing spelling: no second key or section.
    ASSERT_TRUE(ini.SaveIniString("s", "a", 1));
    EXPECT_TRUE(ReadRaw().startsWith("[S]\nA=1\n"));
}

TEST_F(IniFile, NewKeysGoToTheEndOfTheirSectionAndLineEndsAreKept)
{
    WriteRaw("; settings\n[A]\nX=1\n\n[B]\nY=2");
    ASSERT_TRUE(ini.SaveIniString("A", "Z", 3));
    ASSERT_TRUE(ini.SaveIniString("B", "W", 4));
    ASSERT_TRUE(ini.SaveIniString("C", "V", 5));
    ASSERT_TRUE(ini.SaveIniString("A", "X", 6));
    EXPECT_EQ(ReadRaw(), "; settings\n[A]\nX=6\nZ=3\n\n[B]\nY=2\nW=4\n[C]\nV=5\n");

    WriteRaw("\xEF\xBB\xBF[SETUP]\nA=1\r\nB=2\rC=3");
    EXPECT_EQ(Get("SETUP", "C"), "3");
    ASSERT_TRUE(ini.SaveIniString("SETUP", "D", 4));
    EXPECT_EQ(ReadRaw(), "\xEF\xBB\xBF[SETUP]\nA=1\r\nB=2\rC=3\nD=4\n");

    const QString text = "[SETUP]\r\nWIDTH=3\r\n";
    WriteRaw("\xFF\xFE" + QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2));
    ASSERT_TRUE(ini.SaveIniString("SETUP", "HEIGHT", 2));
    EXPECT_EQ(Get("SETUP", "WIDTH"), "3");
    EXPECT_EQ(Get("SETUP", "HEIGHT"), "2");
}

TEST_F(IniFile, TheFirstOfDuplicateKeysCountsAndDeletingRemovesThemAll)
{
    WriteRaw("[A]\r\nX=1\r\nY=2\r\nx=3\r\n[B]\r\nZ=4\r\n[a]\r\nQ=5\r\n");
    EXPECT_EQ(Get("A", "X"), "1");
    ASSERT_TRUE(ini.SaveIniString("A", "X", 9));
    EXPECT_EQ(Get("A", "X"), "9");
    ASSERT_TRUE(ini.DeleteKey("A", "X"));
    EXPECT_EQ(Get("A", "X"), "(missing)");
    EXPECT_EQ(ReadRaw(), "[A]\r\nY=2\r\n[B]\r\nZ=4\r\n[a]\r\nQ=5\r\n");
    ASSERT_TRUE(ini.DeleteSection("a"));
    EXPECT_EQ(ReadRaw(), "[B]\r\nZ=4\r\n");
}

TEST_F(IniFile, MissingKeysAreWrittenWithTheDefaultAsTextAndTheSentinelCountsAsMissing)
{
    WriteRaw("[SETUP]\r\nMARKED=$!*%\r\nKEPT=7\r\n");
    const std::tuple<const char*, QVariant, QString> cases[] = {
        {"MARKED", 3, "3"}, {"KEPT", 3, "7"}, {"NEW", false, "False"}, {"SPACED", " x ", " x "}, {"EMPTY", "", ""},
        {"FLOAT", 12345678.0f, "12345678"}, {"HALF", 0.5, "0.5"},
    };
    for (const auto& [key, value, expected] : cases)
        EXPECT_EQ(ini.GetIniStringWriteDefault("SETUP", key, value), expected) << key;
    EXPECT_TRUE(ReadRaw().startsWith("[SETUP]\r\nMARKED=3\r\nKEPT=7\r\nNEW=False\r\nSPACED=\" x \"\r\nEMPTY=\"\"\r\n"
                                     "FLOAT=12345678\r\nHALF=0.5\r\n"));
    // A value with no text form makes the read fail: an empty result. Values read are cut at 1023.
    EXPECT_EQ(ini.GetIniString("SETUP", "NONE", QVariant::fromValue(nullptr)), "");
    EXPECT_EQ(ini.GetIniString("SETUP", "NONE", QString(1500, 'v')), QString(1023, 'v'));
    ASSERT_TRUE(ini.SaveIniString("SETUP", "LONG", QString(1500, 'v')));
    EXPECT_EQ(Get("SETUP", "LONG"), QString(1023, 'v'));
    EXPECT_TRUE(ReadRaw().contains(QByteArray(1500, 'v')));
}

TEST_F(IniFile, LoadAllKeysInSectionStartsAtIndexOne)
{
    WriteRaw("[LIST]\r\nA=x\r\nB=\r\n; note\r\nloose line\r\nC=y\r\n[OTHER]\r\nD=z\r\n");
    QStringList values{"stale"};
    QStringList keys{"stale", "stale"};
    ini.LoadAllKeysInSection(values, "list", &keys);
    EXPECT_EQ(values, (QStringList{"", "x", "y"}));
    EXPECT_EQ(keys, (QStringList{"", "A", "C"}));
    ini.LoadAllKeysInSection(values, "NOWHERE", &keys);
    EXPECT_EQ(values, QStringList{""});
    EXPECT_EQ(keys, QStringList{""});
}

TEST_F(IniFile, SaveAllKeysInSectionReplacesTheSection)
{
    WriteRaw("[Files]\r\nOld1=a\r\nOld2=b\r\n[Keep]\r\nK=1\r\n");
    const QStringList values{"never written", "one", " two "};
    ASSERT_TRUE(ini.SaveAllKeysInSection(values, "FILES", "File"));
    EXPECT_EQ(ReadRaw(), "[Keep]\r\nK=1\r\n[FILES]\r\nFile1=one\r\nFile2=\" two \"\r\n");
    // Values beyond the given names fall back to the stem.
    const QStringList names{"", "Only"};
    ASSERT_TRUE(ini.SaveAllKeysInSection(values, "FILES", "File", &names));
    QStringList loaded, keys;
    ini.LoadAllKeysInSection(loaded, "FILES", &keys);
    EXPECT_EQ(loaded, (QStringList{"", "one", " two "}));
    EXPECT_EQ(keys, (QStringList{"", "Only", "File2"}));

    // Long sections load whole: far more key names than fit in a 10000-character name list.
    QStringList many{""};
    for (int i = 1; i <= 2000; ++i)
        many << QString("C:\\Maps\\Map number %1.JPG").arg(i);
    ASSERT_TRUE(ini.SaveAllKeysInSection(many, "RECENT", "File"));
    ini.LoadAllKeysInSection(loaded, "RECENT", &keys);
    EXPECT_EQ(loaded, many);
    EXPECT_EQ(keys.value(2000), "File2000");
}

TEST_F(IniFile, WritesThatWouldReadBackAsSomethingElseAreRefused)
{
    WriteRaw("[SETUP]\r\nA=1\r\n");
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"SETUP", "A", "1\r\n[EVIL]\r\nB=2"}, {"SETUP", "A", "1\nB=2"}, {"SETUP", "B=C", "1"}, {"SETUP", ";B", "1"},
        {"SETUP", "[B]", "1"}, {"SETUP", "", "1"}, {"SET]UP", "A", "1"}, {"", "A", "1"},
    };
    for (const auto& [section, key, value] : cases)
        EXPECT_FALSE(ini.SaveIniString(section, key, value)) << key << " " << value;
    EXPECT_FALSE(ini.SaveAllKeysInSection({"", "ok", "two\r\nlines"}, "SETUP", "File"));
    EXPECT_EQ(ReadRaw(), "[SETUP]\r\nA=1\r\n");
}

TEST_F(IniFile, AFailedWriteLeavesTheFileAsItWas)
{
    for (const bool lockFolder : {true, false}) {
        WriteRaw("[SETUP]\r\nWIDTH=2\r\n");
        {
            WriteLock lock(lockFolder ? dir.path() : ini.strIniName());
            if (!lock.Locked())
                GTEST_SKIP() << "cannot make files unwritable here";
            EXPECT_FALSE(ini.SaveIniString("SETUP", "WIDTH", 5));
            EXPECT_FALSE(ini.DeleteSection("SETUP"));
            EXPECT_EQ(ini.GetIniStringWriteDefault("SETUP", "HEIGHT", 4), "4");
        }
        EXPECT_EQ(ReadRaw(), "[SETUP]\r\nWIDTH=2\r\n");
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Quiltmap.INI"});
    }
    // Something that cannot be read as a file is not replaced either.
    ini.setStrIniName(dir.path());
    EXPECT_EQ(ini.GetIniString("SETUP", "A", 5), "5");
    EXPECT_FALSE(ini.SaveIniString("SETUP", "A", 1));
    EXPECT_TRUE(QFileInfo(dir.path()).isDir());
}

TEST(IniTruth, IsItTrueAcceptsFourWordsInAnyCaseAndUpperCasesTheText)
{
    const std::tuple<QString, bool, QString> cases[] = {
        {"yes", true, "YES"}, {"On", true, "ON"}, {"1", true, "1"}, {"tRuE", true, "TRUE"},
        {"-1", false, "-1"}, {"", false, ""}, {" yes", false, " YES"}, {"0", false, "0"},
    };
    for (auto [text, expected, upper] : cases) {
        EXPECT_EQ(clsIni::IsItTrue(text), expected) << upper.toStdString();
        EXPECT_EQ(text, upper);
    }
}

}  // namespace
