#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "HostLink.h"
#include "TestFiles.h"

namespace {

// A user.reg as Wine writes it: doubled backslashes in key names and values.
QByteArray UserReg(const QByteArray& folderValueLine)
{
    return "WINE REGISTRY Version 2\n"
           ";; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n"
           "[Software\\\\Wine\\\\Explorer] 1700000000\n"
           "\"Program Folder\"=\"C:\\\\Wrong\"\n\n"
           "[Software\\\\VB and VBA Program Settings\\\\Wendrel Systems\\\\Corvane32] 1700000001\n"
           "#time=1d9a1b2c3d4e5f6\n"
           "\"Other\"=dword:00000001\n"
           + folderValueLine + "\n\n";
}

}  // namespace

TEST(HostLink, ReadsTheProgramFolderFromTheWineRegistry)
{
    const struct { const char* name; QByteArray line; bool found; QString windowsPath; } cases[] = {
        {"plain", "\"Program Folder\"=\"C:\\\\Program Files\\\\Corvane32\"", true,
         "C:\\Program Files\\Corvane32"},
        {"name in other case", "\"program folder\"=\"D:\\\\Radio\\\\\"", true, "D:\\Radio\\"},
        {"expandable string", "\"Program Folder\"=str(2):\"C:\\\\Corvane32\"", true, "C:\\Corvane32"},
        {"non-ASCII escape", "\"Program Folder\"=\"C:\\\\Funkger\\x00e4te\"", true,
         QStringLiteral("C:\\Funkger\u00e4te")},
        {"value missing", "\"Program Files\"=\"C:\\\\X\"", false, {}},
        {"unterminated", "\"Program Folder\"=\"C:\\\\Corv", false, {}}};
    QTemporaryDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString reg = dir.filePath(QStringLiteral("user.reg"));
        ASSERT_TRUE(WriteFile(reg, UserReg(c.line)));
        QString value;
        EXPECT_EQ(ReadRegistryValue(reg, "Software\\VB and VBA Program Settings\\Wendrel Systems\\Corvane32",
                                    "Program Folder", value), c.found);
        if (c.found) { EXPECT_EQ(value, c.windowsPath); }
    }
    QString value;
    EXPECT_FALSE(ReadRegistryValue(dir.filePath("missing.reg"), "A", "B", value));
}

TEST(HostLink, MapsWindowsPathsThroughThePrefixDrives)
{
    QTemporaryDir dir;
    const QString prefix = dir.path();
    for (const char* folder : {"/drive_c/Corvane32", "/elsewhere/Radio", "/dosdevices"})
        QDir().mkpath(prefix + folder);
    ASSERT_TRUE(QFile::link(prefix + "/elsewhere", prefix + "/dosdevices/d:"));
    EXPECT_EQ(WindowsPathToUnix(prefix, QStringLiteral("C:\\Corvane32")), prefix + QStringLiteral("/drive_c/Corvane32"));
    EXPECT_EQ(WindowsPathToUnix(prefix, QStringLiteral("d:\\Radio\\")), QDir(prefix).canonicalPath() + QStringLiteral("/elsewhere/Radio"));
    EXPECT_EQ(WindowsPathToUnix(prefix, QStringLiteral("E:\\Nowhere")), QString());
    EXPECT_EQ(WindowsPathToUnix(prefix, QStringLiteral("\\\\server\\share")), QString());
}

TEST(HostLink, ToolEntryNamesTheProgramThroughDriveZAndIsWrittenOnce)
{
    EXPECT_EQ(ToolEntryText(QStringLiteral("Quiltmap"), QStringLiteral("/home/ham radio/Quiltmap")),
              QByteArray("Quiltmap\r\n\"Z:\\home\\ham radio\\Quiltmap\"\r\nFalse\r\nFalse\r\n"));

    QTemporaryDir dir;
    const QString host = dir.path() + u'/';
    AddToHostTools(host, QStringLiteral("Quiltmap"), QStringLiteral("/opt/q/Quiltmap"));
    const QString xtr = host + "Quiltmap.XTR";
    EXPECT_EQ(ReadFile(xtr), QByteArray("Quiltmap\r\nZ:\\opt\\q\\Quiltmap\r\nFalse\r\nFalse\r\n"));
    ASSERT_TRUE(WriteFile(xtr, "edited by the host\r\n"));
    AddToHostTools(host, QStringLiteral("Quiltmap"), QStringLiteral("/opt/q/Quiltmap"));
    EXPECT_EQ(ReadFile(xtr), QByteArray("edited by the host\r\n"));

    // A host folder that is gone: nothing written, nothing thrown.
    AddToHostTools(dir.path() + "/gone/", "Quiltmap", "/opt/q/Quiltmap");
    EXPECT_FALSE(QFileInfo::exists(dir.path() + "/gone"));
}
