#include <sys/ioctl.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "FakeMapForm.h"
#include "MapMaker.h"
#include "ScriptedPrompter.h"
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
        {{1, 19, 1, 0, 7}, "http://tiles.example.org/", "1-19-1-0-7",
         "http://tiles.example.org/tile.ashx?T=1&S=19&X=0&Y=7&Z=1"},
        {{1, 10, 60, 2500, 22000}, "http://h:9/terra//", "1-10-60-2500-22000",
         "http://h:9/terra/tile.ashx?T=1&S=10&X=2500&Y=22000&Z=60"},
        {{2, 15, 10, -3, 12}, "https://secure.example.org/base", "2-15-10--3-12",
         "https://secure.example.org/base/tile.ashx?T=2&S=15&X=-3&Y=12&Z=10"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TileFileBaseName(QStringLiteral("/lib/"), c.tile).toStdString(),
                  std::string("/lib/") + c.baseName);
        EXPECT_EQ(TileUrl(QUrl(QString::fromUtf8(c.server)), c.tile)
                      .toString(QUrl::FullyEncoded)
                      .toStdString(),
                  c.url);
    }
    EXPECT_EQ(GifNameOf(QStringLiteral("/lib/2-12-13-622-5500.JPG")).toStdString(),
              "/lib/2-12-13-622-5500.GIF");
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
        {"tiles.example.org:9000", "", "http://tiles.example.org:9000"},
        {"localhost:8421", "", "http://localhost:8421"},
        {"https://secure.example.org/terra", "", "https://secure.example.org/terra"},
        {"http://setting.example.org", "127.0.0.1:5000", "http://127.0.0.1:5000"},
        {"http://setting.example.org", "   ", "http://setting.example.org"},
        {"", "http://env.example.org/base", "http://env.example.org/base"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ResolveTileServer(QString::fromUtf8(c.setting), QString::fromUtf8(c.environment))
                      .toString()
                      .toStdString(),
                  c.expected)
            << "setting '" << c.setting << "' environment '" << c.environment << "'";
}

// Hands out a body in chunks of the given size, as the transfer does.
std::function<QByteArray()> ChunksOf(const QByteArray& body, int size)
{
    auto offset = std::make_shared<qsizetype>(0);
    return [body, size, offset] {
        const QByteArray chunk = body.mid(*offset, size);
        *offset += chunk.size();
        return chunk;
    };
}

QStringList FilesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

TEST(StoreTile, KeepsWholeBodiesUnderTheirRealTypeAndNothingElse)
{
    struct Case {
        QByteArray body;
        StoreOutcome outcome;
        const char* storedName;   // empty: nothing may be left in the folder
    };
    const QByteArray jpeg = QByteArray("\xFF\xD8\xFF\xE0", 4) + QByteArray(2044, 'j');
    const Case cases[] = {
        {QByteArray("GIF89a") + QByteArray(94, 'g'), StoreOutcome::Stored, "1-12-13-5-6.GIF"},
        {jpeg, StoreOutcome::Stored, "1-12-13-5-6.JPG"},
        {QByteArray("gif89a") + QByteArray(200, 'g'), StoreOutcome::Stored, "1-12-13-5-6.JPG"},
        {QByteArray(99, 'x'), StoreOutcome::TooShort, ""},
        {QByteArray("GIF"), StoreOutcome::TooShort, ""},
        {QByteArray(), StoreOutcome::TooShort, ""},
    };
    for (const Case& c : cases) {
        QTemporaryDir folder;
        ASSERT_TRUE(folder.isValid());
        const QString jpgPath = folder.filePath(QStringLiteral("1-12-13-5-6.JPG"));
        const StoreResult result = StoreTile(jpgPath, ChunksOf(c.body, 1024));
        EXPECT_EQ(result.Outcome, c.outcome) << c.body.size();
        if (*c.storedName) {
            EXPECT_EQ(FilesIn(folder.path()), QStringList{QString::fromUtf8(c.storedName)});
            EXPECT_EQ(result.StoredPath, folder.filePath(QString::fromUtf8(c.storedName)));
            QFile stored(result.StoredPath);
            ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
            EXPECT_EQ(stored.readAll(), c.body);
        } else {
            EXPECT_TRUE(FilesIn(folder.path()).isEmpty()) << c.body.size();
        }
    }
}

TEST(StoreTile, ReplacesAnOlderFileOfTheSameName)
{
    QTemporaryDir folder;
    const QString jpgPath = folder.filePath(QStringLiteral("1-12-13-5-6.JPG"));
    QFile old(jpgPath);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(5000, 'o'));
    old.close();

    const QByteArray body(300, 'n');
    EXPECT_EQ(StoreTile(jpgPath, ChunksOf(body, 7)).Outcome, StoreOutcome::Stored);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), body);
}

TEST(StoreTile, MissingFolderStoresNothing)
{
    QTemporaryDir folder;
    const QString jpgPath = folder.filePath(QStringLiteral("gone/1-12-13-5-6.JPG"));
    const StoreResult result = StoreTile(jpgPath, ChunksOf(QByteArray(500, 'x'), 1024));
    EXPECT_EQ(result.Outcome, StoreOutcome::NotWritten);
    EXPECT_TRUE(result.StoredPath.isEmpty());
}

// Makes one file undeletable for the test's length: immutable when the file system allows it
// (root ignores permissions), else a write-protected folder.
class Undeletable {
public:
    Undeletable(const QString& folder, const QString& file) : m_folder(folder), m_file(file)
    {
        m_fd = ::open(QFile::encodeName(file).constData(), O_RDONLY);
        int flags = 0;
        if (m_fd >= 0 && ::ioctl(m_fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags |= FS_IMMUTABLE_FL;
            m_immutable = ::ioctl(m_fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        if (!m_immutable)
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    }
    ~Undeletable()
    {
        if (m_immutable) {
            int flags = 0;
            ::ioctl(m_fd, FS_IOC_GETFLAGS, &flags);
            flags &= ~FS_IMMUTABLE_FL;
            ::ioctl(m_fd, FS_IOC_SETFLAGS, &flags);
        } else {
            QFile::setPermissions(m_folder,
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        if (m_fd >= 0)
            ::close(m_fd);
    }
    // False when neither way works here (root on a file system without the attribute).
    bool Holds() const
    {
        if (m_immutable)
            return true;
        QFile probe(m_folder + QStringLiteral("/probe"));
        const bool writable = probe.open(QIODevice::WriteOnly);
        if (writable)
            probe.remove();
        return !writable;
    }

private:
    QString m_folder;
    QString m_file;
    int m_fd = -1;
    bool m_immutable = false;
};

class ClearTileLibraryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(library.isValid());
        maker.SetTileLibraryFolder(library.path() + QLatin1Char('/'));
    }
    void AddFile(const QString& name)
    {
        QFile file(library.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("tile bytes");
    }

    QTemporaryDir library;
    FakeMapForm form;
    ScriptedPrompter prompter;
    MapMaker maker{form, prompter};
};

TEST_F(ClearTileLibraryTest, EmptyFolderOnlySaysSo)
{
    ASSERT_TRUE(QDir(library.path()).mkdir(QStringLiteral("kept")));
    maker.ClearTileLibrary();
    ASSERT_EQ(prompter.Log.size(), 1u);
    EXPECT_EQ(prompter.Log[0].kind, Kind::Inform);
    EXPECT_EQ(prompter.Log[0].text.toStdString(),
              "There aren't any tiles in the 'Tile Library' folder.");
    EXPECT_TRUE(QDir(library.filePath(QStringLiteral("kept"))).exists());
}

TEST_F(ClearTileLibraryTest, YesDeletesEveryFileButNotSubfolders)
{
    AddFile(QStringLiteral("1-12-13-622-5500.JPG"));
    AddFile(QStringLiteral("2-12-13-622-5500.GIF"));
    AddFile(QStringLiteral("notes"));
    ASSERT_TRUE(QDir(library.path()).mkpath(QStringLiteral("sub")));
    AddFile(QStringLiteral("sub/1-10-1-1-1.JPG"));
    prompter.Answers = {true};

    maker.ClearTileLibrary();

    ASSERT_EQ(prompter.Log.size(), 2u);
    EXPECT_EQ(prompter.Log[0].kind, Kind::YesNo);
    EXPECT_EQ(prompter.Log[0].text.toStdString(),
              "Do you really want to delete all the tiles in the 'Tile Library' folder?");
    EXPECT_EQ(prompter.Log[1].kind, Kind::Inform);
    EXPECT_EQ(prompter.Log[1].text.toStdString(), "The tiles have been deleted.");
    EXPECT_TRUE(FilesIn(library.path()).isEmpty());
    EXPECT_TRUE(QFile::exists(library.filePath(QStringLiteral("sub/1-10-1-1-1.JPG"))));
    EXPECT_FALSE(form.Busy);
}

TEST_F(ClearTileLibraryTest, FilesThatStayAreCountedNotClaimedDeleted)
{
    AddFile(QStringLiteral("1-12-13-622-5500.JPG"));
    const Undeletable stuck(library.path(), library.filePath(QStringLiteral("1-12-13-622-5500.JPG")));
    if (!stuck.Holds())
        GTEST_SKIP() << "no way to make a file undeletable here";
    prompter.Answers = {true};

    maker.ClearTileLibrary();

    ASSERT_EQ(prompter.Log.size(), 2u);
    EXPECT_EQ(prompter.Log[1].kind, Kind::Warn);
    EXPECT_TRUE(prompter.Log[1].text.startsWith(
        QStringLiteral("1 tile could not be deleted from the 'Tile Library' folder.")))
        << prompter.Log[1].text.toStdString();
    EXPECT_TRUE(prompter.Texts(Kind::Inform).empty());
    EXPECT_FALSE(form.Busy);
}

}  // namespace
