#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "ProgramFolder.h"

// Where the program keeps its files: an installed layout always means the per-user folder,
// whoever runs it; a build folder keeps its own files while it can.
TEST(ProgramFolderTest, InstalledLayoutDecidesAndNotWritableFallsBack)
{
    const struct {
        bool Installed, Writable, PerUser;
    } cases[] = {
        {false, true, false},
        {false, false, true},
        {true, true, true},
        {true, false, true},
    };
    for (const auto& c : cases) {
        if (!c.Writable && ::geteuid() == 0)
            continue;  // root writes anywhere; the install test runs that case
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
