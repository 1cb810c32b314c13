#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "clsIni.h"

namespace {

// Makes a file or folder unwritable for as long as it lives: by its permission bits, and
// where those do not bind (running as root) by the immutable flag.
class WriteLock {
public:
    explicit WriteLock(const QString& path)
        : m_path(path), m_permissions(QFile::permissions(path))
    {
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        if (QFileInfo(path).isWritable())
            m_immutable = SetImmutable(true);
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
        if (fd < 0)
            return false;
        int flags = 0;
        bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        if (done) {
            flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
            done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        ::close(fd);
        return done;
    }

    QString m_path;
    QFileDevice::Permissions m_permissions;
    bool m_immutable = false;
};

class IniFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ini.setStrIniName(dir.filePath(QStringLiteral("Quiltmap.INI")));
    }

    void WriteRaw(const QByteArray& content)
    {
        QFile file(ini.strIniName());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    QByteArray ReadRaw() const
    {
        QFile file(ini.strIniName());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    clsIni ini;
};

TEST_F(IniFile, ValuesSurviveTheirWayThroughTheFile)
{
    const struct {
        QString Value;
        QByteArray Stored;
    } cases[] = {
        {QStringLiteral("plain"), "plain"},
        {QStringLiteral(" leading"), "\" leading\""},
        {QStringLiteral("trailing "), "\"trailing \""},
        {QStringLiteral("  both  "), "\"  both  \""},
        {QStringLiteral("\ttab"), "\"\ttab\""},
        {QString(), "\"\""},
        {QStringLiteral("in \"the\" middle"), "in \"the\" middle"},
        {QStringLiteral("Grüße"), "Gr\xC3\xBC\xC3\x9F" "e"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Value.toStdString());
        ASSERT_TRUE(ini.SaveIniString(QStringLiteral("SETUP"), QStringLiteral("KEY"), c.Value));
        EXPECT_EQ(ini.GetIniString(QStringLiteral("SETUP"), QStringLiteral("KEY"), QStringLiteral("missing")),
                  c.Value);
        EXPECT_EQ(ReadRaw(), QByteArray("[SETUP]\r\nKEY=") + c.Stored + "\r\n");
    }
}

TEST_F(IniFile, ReadingTrimsBlanksAndOnePairOfQuotes)
{
    WriteRaw("[S]\nA =  spaced out  \nB=\"quoted\"\nC=\"\"twice\"\"\nD=\"open\nE=\"\nF=\n G\t=\t\" x \" \n");
    const struct {
        const char* Key;
        const char* Expected;
    } cases[] = {
        {"A", "spaced out"}, {"B", "quoted"}, {"C", "\"twice\""}, {"D", "\"open"},
        {"E", "\""},         {"F", ""},       {"G", " x "},       {"H", "default"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ini.GetIniString(QStringLiteral("S"), QString::fromLatin1(c.Key), QStringLiteral("default")),
                  QString::fromLatin1(c.Expected))
            << c.Key;
}

TEST_F(IniFile, NamesMatchWithoutRegardToCase)
{
    WriteRaw("[Setup]\r\nFile_Name_Option=0\r\n");
    EXPECT_EQ(ini.GetIniString(QStringLiteral("SETUP"), QStringLiteral("FILE_NAME_OPTION"), 7), QStringLiteral("0"));
    ASSERT_TRUE(ini.SaveIniString(QStringLiteral("setup"), QStringLiteral("file_name_option"), 1));
    // The existing spelling stays; no second key or section appears.
    EXPECT_EQ(ReadRaw(), QByteArray("[Setup]\r\nFile_Name_Option=1\r\n"));
}

TEST_F(IniFile, DefaultsComeBackAsTheirTextForm)
{
    const struct {
        QVariant Default;
        QString Expected;
    } cases[] = {
        {true, QStringLiteral("True")},
        {false, QStringLiteral("False")},
        {-1, QStringLiteral("-1")},
        {QVariant::fromValue<short>(4), QStringLiteral("4")},
        {1234.0f, QStringLiteral("1234")},
        {12345678.0f, QStringLiteral("12345678")},
        {0.5, QStringLiteral("0.5")},
        {QStringLiteral(" as is "), QStringLiteral(" as is ")},
        {QVariant(), QString()},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(clsIni::ValueText(c.Default), c.Expected);
        EXPECT_EQ(ini.GetIniString(QStringLiteral("SETUP"), QStringLiteral("NONE"), c.Default), c.Expected);
    }
    // A value with no text form makes the read fail, which gives an empty result.
    EXPECT_EQ(ini.GetIniString(QStringLiteral("SETUP"), QStringLiteral("NONE"), QVariant::fromValue(nullptr)),
              QString());
}

TEST_F(IniFile, ValuesAreCutAt1023Characters)
{
    const QString stored = QString(1500, QLatin1Char('v'));
    ASSERT_TRUE(ini.SaveIniString(QStringLiteral("SETUP"), QStringLiteral("LONG"), stored));
    EXPECT_EQ(ini.GetIniString(QStringLiteral("SETUP"), QStringLiteral("LONG"), QString()), QString(1023, QLatin1Char('v')));
    EXPECT_EQ(ini.GetIniString(QStringLiteral("SETUP"), QStringLiteral("NONE"), stored), QString(1023, QLatin1Char('v')));
    // The file itself keeps the whole value.
    EXPECT_TRUE(ReadRaw().contains(QByteArray(1500, 'v')));
}

TEST_F(IniFile, NewKeysGoToTheEndOfTheirSectionAndNewSectionsToTheEnd)
{
    WriteRaw("; settings\n[A]\nX=1\n\n[B]\nY=2");
    ASSERT_TRUE(ini.SaveIniString(QStringLiteral("A"), QStringLiteral("Z"), 3));
    ASSERT_TRUE(ini.SaveIniString(QStringLiteral("B"), QStringLiteral("W"), 4));
    ASSERT_TRUE(ini.SaveIniString(QStringLiteral("C"), QStringLiteral("V"), 5));
    ASSERT_TRUE(ini.SaveIniString(QStringLiteral("A"), QStringLiteral("X"), 6));
    // The file's own LF line ends are kept.
    EXPECT_EQ(ReadRaw(), QByteArray("; settings\n[A]\nX=6\nZ=3\n\n[B]\nY=2\nW=4\n[C]\nV=5\n"));
}

TEST_F(IniFile, DeletingRemovesKeysAndSections)
{
    WriteRaw("[A]\r\nX=1\r\nY=2\r\nx=3\r\n[B]\r\nZ=4\r\n[a]\r\nQ=5\r\n");
    ASSERT_TRUE(ini.DeleteKey(QStringLiteral("A"), QStringLiteral("X")));
    // The second X (a hand-made duplicate) must not show through after deletion.
    EXPECT_EQ(ini.GetIniString(QStringLiteral("A"), QStringLiteral("X"), QStringLiteral("gone")), QStringLiteral("gone"));
    EXPECT_EQ(ReadRaw(), QByteArray("[A]\r\nY=2\r\n[B]\r\nZ=4\r\n[a]\r\nQ=5\r\n"));
    ASSERT_TRUE(ini.DeleteSection(QStringLiteral("a")));
    EXPECT_EQ(ReadRaw(), QByteArray("[B]\r\nZ=4\r\n"));
    EXPECT_EQ(ini.GetIniString(QStringLiteral("A"), QStringLiteral("Q"), QStringLiteral("gone")), QStringLiteral("gone"));
}

TEST_F(IniFile, TheFirstOfTwoKeysCounts)
{
    WriteRaw("[S]\nK=first\nK=second\n");
    EXPECT_EQ(ini.GetIniString(QStringLiteral("S"), QStringLiteral("K"), QString()), QStringLiteral("first"));
    ASSERT_TRUE(ini.SaveIniString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("new")));
    EXPECT_EQ(ini.GetIniString(QStringLiteral("S"), QStringLiteral("K"), QString()), QStringLiteral("new"));
}

TEST_F(IniFile, MissingKeysAreWrittenWithTheDefaultAndTheSentinelCountsAsMissing)
{
    WriteRaw("[SETUP]\r\nMARKED=$!*%\r\nKEPT=7\r\n");
    const struct {
        const char* Key;
        QVariant Default;
        QString Result;
        QString StoredAfter;
    } cases[] = {
        {"MARKED", 3, QStringLiteral("3"), QStringLiteral("3")},
        {"KEPT", 3, QStringLiteral("7"), QStringLiteral("7")},
        {"NEW", false, QStringLiteral("False"), QStringLiteral("False")},
        {"SPACED", QStringLiteral(" x "), QStringLiteral(" x "), QStringLiteral(" x ")},
        {"EMPTY", QString(), QString(), QString()},
    };
    for (const auto& c : cases) {
        const QString key = QString::fromLatin1(c.Key);
        EXPECT_EQ(ini.GetIniStringWriteDefault(QStringLiteral("SETUP"), key, c.Default), c.Result) << c.Key;
        EXPECT_EQ(ini.GetIniString(QStringLiteral("SETUP"), key, QStringLiteral("missing")), c.StoredAfter) << c.Key;
    }
    EXPECT_EQ(ReadRaw(),
              QByteArray("[SETUP]\r\nMARKED=3\r\nKEPT=7\r\nNEW=False\r\nSPACED=\" x \"\r\nEMPTY=\"\"\r\n"));
}

TEST_F(IniFile, LoadAllKeysInSectionStartsAtIndexOne)
{
    WriteRaw("[LIST]\r\nA=x\r\nB=\r\n; note\r\nloose line\r\nC=y\r\n[OTHER]\r\nD=z\r\n");
    QStringList values{QStringLiteral("stale")};
    QStringList keys{QStringLiteral("stale"), QStringLiteral("stale")};
    ini.LoadAllKeysInSection(values, QStringLiteral("list"), &keys);
    EXPECT_EQ(values, (QStringList{QString(), QStringLiteral("x"), QStringLiteral("y")}));
    EXPECT_EQ(keys, (QStringList{QString(), QStringLiteral("A"), QStringLiteral("C")}));

    ini.LoadAllKeysInSection(values, QStringLiteral("NOWHERE"), &keys);
    EXPECT_EQ(values, QStringList{QString()});
    EXPECT_EQ(keys, QStringList{QString()});
}

TEST_F(IniFile, SaveAllKeysInSectionReplacesTheSection)
{
    WriteRaw("[Files]\r\nOld1=a\r\nOld2=b\r\n[Keep]\r\nK=1\r\n");
    const QStringList values{QStringLiteral("never written"), QStringLiteral("one"), QStringLiteral(" two ")};
    ASSERT_TRUE(ini.SaveAllKeysInSection(values, QStringLiteral("FILES"), QStringLiteral("File")));
    EXPECT_EQ(ReadRaw(), QByteArray("[Keep]\r\nK=1\r\n[FILES]\r\nFile1=one\r\nFile2=\" two \"\r\n"));

    const QStringList keys{QString(), QStringLiteral("First"), QStringLiteral("Second")};
    ASSERT_TRUE(ini.SaveAllKeysInSection(values, QStringLiteral("FILES"), QStringLiteral("File"), &keys));
    QStringList loaded;
    QStringList loadedKeys;
    ini.LoadAllKeysInSection(loaded, QStringLiteral("FILES"), &loadedKeys);
    EXPECT_EQ(loaded, (QStringList{QString(), QStringLiteral("one"), QStringLiteral(" two ")}));
    EXPECT_EQ(loadedKeys, keys);

    // Values beyond the given names fall back to the stem instead of failing halfway.
    const QStringList shortKeys{QString(), QStringLiteral("Only")};
    ASSERT_TRUE(ini.SaveAllKeysInSection(values, QStringLiteral("FILES"), QStringLiteral("File"), &shortKeys));
    ini.LoadAllKeysInSection(loaded, QStringLiteral("FILES"), &loadedKeys);
    EXPECT_EQ(loadedKeys, (QStringList{QString(), QStringLiteral("Only"), QStringLiteral("File2")}));
}

TEST_F(IniFile, LongSectionsLoadWhole)
{
    // Far more key names than fit in a 10000-character name list.
    QStringList values{QString()};
    for (int i = 1; i <= 2000; ++i)
        values.append(QStringLiteral("C:\\Maps\\Map number %1.JPG").arg(i));
    ASSERT_TRUE(ini.SaveAllKeysInSection(values, QStringLiteral("RECENT"), QStringLiteral("File")));
    QStringList loaded;
    QStringList keys;
    ini.LoadAllKeysInSection(loaded, QStringLiteral("RECENT"), &keys);
    EXPECT_EQ(loaded, values);
    ASSERT_EQ(keys.size(), 2001);
    EXPECT_EQ(keys[2000], QStringLiteral("File2000"));
}

TEST_F(IniFile, SaveAllKeysInSectionWithABadEntryChangesNothing)
{
    WriteRaw("[Files]\r\nFile1=a\r\n");
    const QStringList values{QString(), QStringLiteral("ok"), QStringLiteral("two\r\nlines")};
    EXPECT_FALSE(ini.SaveAllKeysInSection(values, QStringLiteral("Files"), QStringLiteral("File")));
    EXPECT_EQ(ReadRaw(), QByteArray("[Files]\r\nFile1=a\r\n"));
}

TEST_F(IniFile, WritesThatWouldReadBackAsSomethingElseAreRefused)
{
    WriteRaw("[SETUP]\r\nA=1\r\n");
    const struct {
        const char* Section;
        const char* Key;
        const char* Value;
    } cases[] = {
        {"SETUP", "A", "1\r\n[EVIL]\r\nB=2"},
        {"SETUP", "A", "1\nB=2"},
        {"SETUP", "B=C", "1"},
        {"SETUP", ";B", "1"},
        {"SETUP", "[B]", "1"},
        {"SETUP", "", "1"},
        {"SET]UP", "A", "1"},
        {"", "A", "1"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(ini.SaveIniString(QString::fromLatin1(c.Section), QString::fromLatin1(c.Key),
                                       QString::fromLatin1(c.Value)))
            << c.Key << " " << c.Value;
    }
    EXPECT_EQ(ReadRaw(), QByteArray("[SETUP]\r\nA=1\r\n"));
}

TEST_F(IniFile, AnUnwritableFolderLeavesTheFileAsItWas)
{
    WriteRaw("[SETUP]\r\nWIDTH=2\r\n");
    {
        WriteLock lock(dir.path());
        if (!lock.Locked())
            GTEST_SKIP() << "the folder cannot be made unwritable here";
        EXPECT_FALSE(ini.SaveIniString(QStringLiteral("SETUP"), QStringLiteral("WIDTH"), 5));
        EXPECT_FALSE(ini.DeleteSection(QStringLiteral("SETUP")));
        // The default still comes back, and the program goes on.
        EXPECT_EQ(ini.GetIniStringWriteDefault(QStringLiteral("SETUP"), QStringLiteral("HEIGHT"), 4),
                  QStringLiteral("4"));
    }
    EXPECT_EQ(ReadRaw(), QByteArray("[SETUP]\r\nWIDTH=2\r\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Quiltmap.INI")});
}

TEST_F(IniFile, AReadOnlyFileIsNotReplaced)
{
    WriteRaw("[SETUP]\r\nWIDTH=2\r\n");
    {
        WriteLock lock(ini.strIniName());
        if (!lock.Locked())
            GTEST_SKIP() << "the file cannot be made unwritable here";
        EXPECT_FALSE(ini.SaveIniString(QStringLiteral("SETUP"), QStringLiteral("WIDTH"), 5));
    }
    EXPECT_EQ(ReadRaw(), QByteArray("[SETUP]\r\nWIDTH=2\r\n"));
}

TEST_F(IniFile, SomethingThatCannotBeReadIsNotOverwritten)
{
    ini.setStrIniName(dir.path());
    EXPECT_EQ(ini.GetIniString(QStringLiteral("SETUP"), QStringLiteral("A"), 5), QStringLiteral("5"));
    EXPECT_FALSE(ini.SaveIniString(QStringLiteral("SETUP"), QStringLiteral("A"), 1));
    EXPECT_TRUE(QFileInfo(dir.path()).isDir());
}

TEST_F(IniFile, WithoutAFileNameNothingIsReadOrWritten)
{
    ini.setStrIniName(QString());
    EXPECT_FALSE(ini.SaveIniString(QStringLiteral("SETUP"), QStringLiteral("A"), 1));
    EXPECT_EQ(ini.GetIniString(QStringLiteral("SETUP"), QStringLiteral("A"), 5), QString());
    EXPECT_EQ(ini.GetIniStringWriteDefault(QStringLiteral("SETUP"), QStringLiteral("A"), 5), QString());
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST_F(IniFile, ABomAndForeignLineEndsAreKept)
{
    WriteRaw("\xEF\xBB\xBF[SETUP]\nA=1\r\nB=2\rC=3");
    EXPECT_EQ(ini.GetIniString(QStringLiteral("SETUP"), QStringLiteral("A"), QString()), QStringLiteral("1"));
    EXPECT_EQ(ini.GetIniString(QStringLiteral("SETUP"), QStringLiteral("C"), QString()), QStringLiteral("3"));
    ASSERT_TRUE(ini.SaveIniString(QStringLiteral("SETUP"), QStringLiteral("D"), 4));
    EXPECT_EQ(ReadRaw(), QByteArray("\xEF\xBB\xBF[SETUP]\nA=1\r\nB=2\rC=3\nD=4\n"));
}

TEST_F(IniFile, AUtf16FileIsReadAndKept)
{
    QByteArray utf16("\xFF\xFE");
    const QString text = QStringLiteral("[SETUP]\r\nWIDTH=3\r\n");
    utf16.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    WriteRaw(utf16);
    EXPECT_EQ(ini.GetIniString(QStringLiteral("SETUP"), QStringLiteral("WIDTH"), 0), QStringLiteral("3"));
    ASSERT_TRUE(ini.SaveIniString(QStringLiteral("SETUP"), QStringLiteral("HEIGHT"), 2));
    EXPECT_EQ(ini.GetIniString(QStringLiteral("SETUP"), QStringLiteral("WIDTH"), 0), QStringLiteral("3"));
    EXPECT_EQ(ini.GetIniString(QStringLiteral("SETUP"), QStringLiteral("HEIGHT"), 0), QStringLiteral("2"));
}

TEST(IniTruth, IsItTrueAcceptsFourWordsInAnyCase)
{
    const struct {
        const char* Text;
        bool Expected;
        const char* Upper;
    } cases[] = {
        {"yes", true, "YES"},   {"On", true, "ON"},      {"1", true, "1"},
        {"tRuE", true, "TRUE"}, {"-1", false, "-1"},     {"false", false, "FALSE"},
        {"", false, ""},        {" yes", false, " YES"}, {"0", false, "0"},
    };
    for (const auto& c : cases) {
        QString text = QString::fromLatin1(c.Text);
        EXPECT_EQ(clsIni::IsItTrue(text), c.Expected) << c.Text;
        EXPECT_EQ(text, QString::fromLatin1(c.Upper));
    }
    EXPECT_EQ(clsIni::TrueOrFalse(true), QStringLiteral("TRUE"));
    EXPECT_EQ(clsIni::TrueOrFalse(false), QStringLiteral("FALSE"));
}

}  // namespace
