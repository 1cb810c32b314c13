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

TEST(TileUrl, KeepsTheServersPathWithoutDoubleSlashes)
{
    EXPECT_EQ(TileUrl(QUrl("https://h:9/t//"), {1, 10, 60, 2500, 22000}).toString(), "https://h:9/t/tile.ashx?T=1&S=10&X=2500&Y=22000&Z=60");
}

TEST(TileServerEndpoint, EnvironmentThenSettingThenDefault)
{
    const char* cases[][3] = {   // setting, environment, expected
        {"", "", "http://localhost:8421"},
        {"localhost:8421", "", "http://localhost:8421"},
        {"https://secure.example.org/terra", "", "https://secure.example.org/terra"},
        {"http://setting.example.org", "127.0.0.1:5000", "http://127.0.0.1:5000"},
        {"http://setting.example.org", "   ", "http://setting.example.org"},
    };
    for (const auto& [setting, environment, expected] : cases)
        EXPECT_EQ(ResolveTileServer(QLatin1String(setting), QLatin1String(environment)).toString(), QLatin1String(expected))
            << "setting '" << setting << "' environment '" << environment << "'";
}

// Makes a file undeletable while it lives: immutable where the file system allows it (root
// ignores permissions), else by write-protecting its folder. Holds is false when neither works.
struct Undeletable {
    Undeletable(const QString& folder, const QString& file)
        : Folder(folder), Fd(::open(QFile::encodeName(file).constData(), O_RDONLY))
    {
        Immutable = SetImmutable(true);
        if (!Immutable)
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
        Holds = Immutable || ::geteuid() != 0;
    }
    ~Undeletable()
    {
        if (!Immutable || !SetImmutable(false))
            QFile::setPermissions(Folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        ::close(Fd);
    }
    bool SetImmutable(bool on) const
    {
        int flags = 0;
        if (Fd < 0 || ::ioctl(Fd, FS_IOC_GETFLAGS, &flags) != 0)
            return false;
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        return ::ioctl(Fd, FS_IOC_SETFLAGS, &flags) == 0;
    }

    QString Folder;
    int Fd;
    bool Immutable = false;
    bool Holds = false;
};

class ClearTileLibraryTest : public ::testing::Test {
protected:
    void SetUp() override { maker.SetTileLibraryFolder(library.path() + QLatin1Char('/')); }
    QString Tile(const char* name) const { return library.filePath(QLatin1String(name)); }

    QTemporaryDir library;
    FakeMapForm form;
    ScriptedPrompter prompter;   // answers yes
    MapMaker maker{form, prompter};
};

TEST_F(ClearTileLibraryTest, EmptyFolderOnlySaysSoAndAFullOneKeepsOnlyItsSubfolders)
{
    ASSERT_TRUE(WriteFile(Tile("sub/1-10-1-1-1.JPG"), "tile"));
    maker.ClearTileLibrary();
    ASSERT_TRUE(WriteFile(Tile("1-12-13-622-5500.JPG"), "tile"));
    ASSERT_TRUE(WriteFile(Tile("2-12-13-622-5500.GIF"), "tile"));
    maker.ClearTileLibrary();

    EXPECT_EQ(prompter.Texts(Kind::Inform),
              (std::vector<QString>{"There aren't any tiles in the 'Tile Library' folder.", "The tiles have been deleted."}));
    EXPECT_EQ(prompter.Texts(Kind::YesNo), std::vector<QString>{"Do you really want to delete all the tiles in the 'Tile Library' folder?"});
    EXPECT_EQ(QDir(library.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"sub"});
    EXPECT_TRUE(QFile::exists(Tile("sub/1-10-1-1-1.JPG")) && !form.Busy);
}

TEST_F(ClearTileLibraryTest, FilesThatStayAreCountedNotClaimedDeleted)
{
    ASSERT_TRUE(WriteFile(Tile("1-12-13-622-5500.JPG"), "tile"));
    const Undeletable stuck(library.path(), Tile("1-12-13-622-5500.JPG"));
    if (!stuck.Holds)
        GTEST_SKIP() << "no way to make a file undeletable here";

    maker.ClearTileLibrary();
    EXPECT_EQ(prompter.Texts(Kind::Warn),
              std::vector<QString>{"1 tile could not be deleted from the 'Tile Library' folder. "
                                   "It may be in use by another program or write-protected."});
    EXPECT_TRUE(prompter.Texts(Kind::Inform).empty());
}

}  // namespace
