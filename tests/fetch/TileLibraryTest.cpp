#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "FakeMapForm.h"
#include "MapMaker.h"
#include "ScriptedPrompter.h"
#include "TestFiles.h"
#include "TileLibrary.h"

namespace {

using Kind = ScriptedPrompter::Kind;

TEST(TileNames, FileNameAndUrlCarryTheSameNumbersInTheirOwnOrders)
{
    struct Case {
        TileKey tile;
        const char* server;
        const char* baseName;
        const char* url;
    };
    const Case cases[] = {
        {{2, 12, 13, 622, 5500}, "http://127.0.0.1:8421", "2-12-13-622-5500",
         "http://127.0.0.1:8421/tile.ashx?T=2&S=12&X=622&Y=5500&Z=13"},
        {{1, 10, 60, 2500, 22000}, "https://h:9/terra//", "1-10-60-2500-22000",
         "https://h:9/terra/tile.ashx?T=1&S=10&X=2500&Y=22000&Z=60"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TileFileBaseName(QStringLiteral("/lib/"), c.tile),
                  QStringLiteral("/lib/") + QLatin1String(c.baseName));
        EXPECT_EQ(TileUrl(QUrl(QLatin1String(c.server)), c.tile).toString(QUrl::FullyEncoded),
                  QLatin1String(c.url));
    }
}

TEST(TileServerEndpoint, EnvironmentThenSettingThenDefault)
{
    struct Case {
        const char* setting;
        const char* environment;
        const char* expected;
    };
    const Case cases[] = {
        {"", "", "http://localhost:8421"},
        {"  ", " ", "http://localhost:8421"},
        {"tiles.example.org", "", "http://tiles.example.org"},
        {"localhost:8421", "", "http://localhost:8421"},
        {"https://secure.example.org/terra", "", "https://secure.example.org/terra"},
        {"http://setting.example.org", "127.0.0.1:5000", "http://127.0.0.1:5000"},
        {"http://setting.example.org", "   ", "http://setting.example.org"},
        {"", "http://env.example.org/base", "http://env.example.org/base"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ResolveTileServer(QLatin1String(c.setting), QLatin1String(c.environment)).toString(),
                  QLatin1String(c.expected))
            << "setting '" << c.setting << "' environment '" << c.environment << "'";
}

// Makes a file undeletable while it lives: immutable where the file system allows it (root
// ignores permissions), else by write-protecting its folder. Holds is false when neither works.
class Undeletable {
public:
    Undeletable(const QString& folder, const QString& file)
        : m_folder(folder), m_fd(::open(QFile::encodeName(file).constData(), O_RDONLY))
    {
        m_immutable = SetImmutable(true);
        if (!m_immutable)
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
        QFile probe(folder + QStringLiteral("/probe"));
        Holds = m_immutable || !probe.open(QIODevice::WriteOnly);
        probe.remove();
    }
    ~Undeletable()
    {
        if (m_immutable)
            SetImmutable(false);
        else
            QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool Holds = false;

private:
    bool SetImmutable(bool on)
    {
        int flags = 0;
        if (m_fd < 0 || ::ioctl(m_fd, FS_IOC_GETFLAGS, &flags) != 0)
            return false;
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        return ::ioctl(m_fd, FS_IOC_SETFLAGS, &flags) == 0;
    }

    QString m_folder;
    int m_fd;
    bool m_immutable = false;
};

class ClearTileLibraryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(library.isValid());
        maker.SetTileLibraryFolder(library.path() + QLatin1Char('/'));
        prompter.Answers = {true};
    }
    QString Tile(const char* name) const { return library.filePath(QLatin1String(name)); }

    QTemporaryDir library;
    FakeMapForm form;
    ScriptedPrompter prompter;
    MapMaker maker{form, prompter};
};

TEST_F(ClearTileLibraryTest, EmptyFolderOnlySaysSoAndAFullOneKeepsOnlyItsSubfolders)
{
    ASSERT_TRUE(WriteFile(Tile("sub/1-10-1-1-1.JPG"), "tile"));
    maker.ClearTileLibrary();
    ASSERT_EQ(prompter.Log.size(), 1u);
    EXPECT_EQ(prompter.Log[0].kind, Kind::Inform);
    EXPECT_EQ(prompter.Log[0].text, QStringLiteral("There aren't any tiles in the 'Tile Library' folder."));

    prompter.Log.clear();
    ASSERT_TRUE(WriteFile(Tile("1-12-13-622-5500.JPG"), "tile"));
    ASSERT_TRUE(WriteFile(Tile("2-12-13-622-5500.GIF"), "tile"));
    maker.ClearTileLibrary();
    ASSERT_EQ(prompter.Log.size(), 2u);
    EXPECT_EQ(prompter.Log[0].kind, Kind::YesNo);
    EXPECT_EQ(prompter.Log[0].text,
              QStringLiteral("Do you really want to delete all the tiles in the 'Tile Library' folder?"));
    EXPECT_EQ(prompter.Log[1].kind, Kind::Inform);
    EXPECT_EQ(prompter.Log[1].text, QStringLiteral("The tiles have been deleted."));
    EXPECT_EQ(QDir(library.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"sub"});
    EXPECT_TRUE(QFile::exists(Tile("sub/1-10-1-1-1.JPG")));
    EXPECT_FALSE(form.Busy);
}

TEST_F(ClearTileLibraryTest, FilesThatStayAreCountedNotClaimedDeleted)
{
    ASSERT_TRUE(WriteFile(Tile("1-12-13-622-5500.JPG"), "tile"));
    const Undeletable stuck(library.path(), Tile("1-12-13-622-5500.JPG"));
    if (!stuck.Holds)
        GTEST_SKIP() << "no way to make a file undeletable here";

    maker.ClearTileLibrary();

    ASSERT_EQ(prompter.Log.size(), 2u);
    EXPECT_EQ(prompter.Log[1].kind, Kind::Warn);
    EXPECT_TRUE(prompter.Log[1].text.startsWith(
        QLatin1String("1 tile could not be deleted from the 'Tile Library' folder.")))
        << prompter.Log[1].text.toStdString();
    EXPECT_FALSE(form.Busy);
}

}  // namespace
