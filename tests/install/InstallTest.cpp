// The program as a user gets it: installed into a temporary DESTDIR and packaged with cpack,
// then checked with the desktop's own validators and lintian, and started as a user who cannot
// write the install.

#include "ContextIDs.h"
#include "TestFiles.h"
#include "Version.h"

#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

const QString BuildDir = QStringLiteral(QUILTMAP_BUILD_DIR);
const QString DesktopFile = QStringLiteral("usr/share/applications/%1.desktop").arg(QuiltmapVersion::AppId);

struct RunResult { int Code = -1; QString Output; };  // -1: did not start or did not end normally

RunResult RunTool(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(BuildDir);
    process.start(program, arguments);
    if (!process.waitForStarted() || !process.waitForFinished(300000))
        return {-1, program + ": " + process.errorString()};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, QString::fromLocal8Bit(process.readAll())};
}

// Every file and link below root, relative to it, sorted.
QStringList FilesBelow(const QString& root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(root).relativeFilePath(it.next());
    files.sort();
    return files;
}

// The install that every test looks at: done once, with prefix /usr as the package has it.
struct Install {
    QTemporaryDir Root;
    QString Dest;           // the DESTDIR
    QStringList Expected;   // relative to DESTDIR, e.g. "usr/bin/Quiltmap"
    RunResult Result;

    Install()
    {
        ::chmod(QFile::encodeName(Root.path()).constData(), 0755);  // others run the program from here
        Dest = Root.filePath("dest");
        for (const QString& line : QString::fromUtf8(ReadFile(BuildDir + "/packaging/expected-install.txt")).split(u'\n', Qt::SkipEmptyParts))
            Expected << "usr/" + line;
        Expected.sort();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DESTDIR", Dest);
        Result = RunTool(CMAKE_COMMAND_PATH, {"--install", BuildDir, "--prefix", "/usr"}, environment);
    }

    bool Holds(const QString& file) const { return Expected.contains(file); }
};

const Install& TheInstall()
{
    static Install install;
    return install;
}

class Installed : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(install.Result.Code, 0) << install.Result.Output.toStdString(); }
    const Install& install = TheInstall();
};

// Exactly the expected files, programs alone executable; no placeholder address, no proprietary
// licence, no claim of a tile service that is gone.
TEST_F(Installed, HoldsExactlyTheExpectedFilesWithNoPlaceholderOrStaleClaim)
{
    ASSERT_FALSE(install.Expected.isEmpty());
    EXPECT_EQ(FilesBelow(install.Dest), install.Expected);
    for (const QString& file : install.Expected) {
        const QString path = install.Dest + u'/' + file;
        EXPECT_EQ(QFileInfo(path).isExecutable(), file.startsWith("usr/bin/")) << file.toStdString();
        const QByteArray content = file.endsWith(".gz") ? RunTool("zcat", {path}).Output.toUtf8() : ReadFile(path);
        for (const char* stale : {"example.org", "example.com", "example.net", "@example", "LicenseRef-proprietary",
                                  "All rights reserved", "TerraServer"})
            EXPECT_FALSE(content.contains(stale)) << file.toStdString() << ": " << stale;
    }
    EXPECT_TRUE(ReadFile(install.Dest + "/usr/share/doc/quiltmap/copyright").contains("License: MIT"));
}

TEST_F(Installed, DesktopEntryAndMetadataPassTheirValidators)
{
    const struct { QString Program; QStringList Arguments; QString File; } checks[] = {
        {"desktop-file-validate", {}, DesktopFile},
        {"appstreamcli", {"validate", "--no-net"}, QString("usr/share/metainfo/%1.metainfo.xml").arg(QuiltmapVersion::AppId)},
    };
    for (const auto& check : checks) {
        const RunResult result = RunTool(check.Program, check.Arguments + QStringList{install.Dest + u'/' + check.File});
        EXPECT_EQ(result.Code, 0) << check.File.toStdString() << "\n" << result.Output.toStdString();
    }
}

// The menu entry and the user unit name their program by its full path under the prefix; the
// program finds its help.
TEST_F(Installed, LaunchersStartTheInstalledProgramsWhichFindTheirHelp)
{
    EXPECT_EQ(ContextIDs::FindHelpFolder(install.Dest + "/usr/bin"), install.Dest + "/usr/share/quiltmap");
    const struct { QString File, Key, Program; } launchers[] = {
        {DesktopFile, "Exec=", "/usr/bin/Quiltmap"},
        {"usr/lib/systemd/user/quiltmap-tileserver.service", "ExecStart=", "/usr/bin/quiltmap-tileserver"},
        {"usr/lib/systemd/system/quiltmap-tileserver@.service", "ExecStart=", "/usr/bin/quiltmap-tileserver"},
    };
    for (const auto& launcher : launchers) {
        if (!install.Holds(launcher.File))
            continue;  // built without the tile server
        const QRegularExpression key("^" + launcher.Key + "(\\S*)", QRegularExpression::MultilineOption);
        const QString command = key.match(QString::fromUtf8(ReadFile(install.Dest + u'/' + launcher.File))).captured(1);
        EXPECT_EQ(command, launcher.Program) << launcher.File.toStdString();
        EXPECT_TRUE(QFileInfo(install.Dest + command).isExecutable()) << command.toStdString();
    }
}

// Run by whoever (root too, who can write the install), the installed program keeps everything in
// the per-user folder of a fresh home.
TEST_F(Installed, KeepsItsFilesInThePerUserFolderWhoeverRunsIt)
{
    QTemporaryDir home;
    const QString runtime = home.filePath("runtime");
    ::mkdir(QFile::encodeName(runtime).constData(), 0700);
    QProcessEnvironment environment;
    environment.insert("PATH", qEnvironmentVariable("PATH"));
    environment.insert("HOME", home.path());
    environment.insert("XDG_RUNTIME_DIR", runtime);
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setProcessEnvironment(environment);
    process.start(install.Dest + "/usr/bin/Quiltmap");
    ASSERT_TRUE(process.waitForStarted()) << process.errorString().toStdString();

    // The first start ends by recording that it has happened: then every folder is made.
    const QString folder = home.filePath(".local/share/Quiltmap");
    const bool started = QTest::qWaitFor(
        [&] { return process.state() != QProcess::Running || ReadFile(folder + "/Quiltmap.INI").contains("FIRST_TIME=False"); }, 30000);
    const bool stillRunning = process.state() == QProcess::Running;
    process.terminate();
    process.waitForFinished();
    const std::string output = process.readAll().toStdString();

    ASSERT_TRUE(started && stillRunning) << output;
    for (const char* name : {"Tile Library", "Maps"})
        EXPECT_TRUE(QFileInfo(folder + u'/' + QString::fromUtf8(name)).isDir()) << name << "\n" << output;
    EXPECT_EQ(FilesBelow(install.Dest), install.Expected) << "nothing is written into the install";
}

TEST_F(Installed, PackageHoldsTheInstallAndPassesLintian)
{
    const QString out = install.Root.filePath("package");
    const RunResult packed = RunTool(CPACK_COMMAND_PATH, {"-G", "DEB", "-B", out, "--config", BuildDir + "/CPackConfig.cmake"});
    ASSERT_EQ(packed.Code, 0) << packed.Output.toStdString();
    const QString architecture = RunTool("dpkg", {"--print-architecture"}).Output.trimmed();
    const QString deb = out + QString("/quiltmap_%1_%2.deb").arg(QuiltmapVersion::Text, architecture);
    ASSERT_TRUE(QFileInfo::exists(deb)) << packed.Output.toStdString();

    const QString unpacked = install.Root.filePath("unpacked");
    const RunResult extracted = RunTool("dpkg-deb", {"-x", deb, unpacked});
    ASSERT_EQ(extracted.Code, 0) << extracted.Output.toStdString();
    EXPECT_EQ(FilesBelow(unpacked), install.Expected);
    for (const QString& file : install.Expected) {
        if (!file.startsWith("usr/bin/")) {  // programs are stripped in the package
            EXPECT_EQ(ReadFile(unpacked + u'/' + file), ReadFile(install.Dest + u'/' + file)) << file.toStdString();
        }
    }

    // Libraries from the programs themselves; the tile server's map data by name.
    const QString depends = RunTool("dpkg-deb", {"-f", deb, "Depends"}).Output, control = RunTool("dpkg-deb", {"-f", deb}).Output;
    EXPECT_TRUE(depends.contains("libqt6widgets6")) << depends.toStdString();
    const bool server = install.Holds("usr/bin/quiltmap-tileserver");
    EXPECT_EQ(depends.contains(QRegularExpression("(^|, )gmt-gshhg-high(,|$)")), server) << depends.toStdString();
    EXPECT_EQ(control.contains("Recommends: gmt-gshhg-full"), server) << control.toStdString();
    EXPECT_FALSE(control.contains("gmt-dcw") || control.contains("example.")) << control.toStdString();

    // Informational tags shown too: the hardening ones are among them. The Maintainer is whoever
    // builds the package; root at a host without a domain says nothing about the package.
    const RunResult lintian = RunTool("lintian", {"-I", "--fail-on", "error", "--suppress-tags",
                                                  "bogus-mail-host,bogus-mail-host-in-debian-changelog,root-in-contact", deb});
    EXPECT_EQ(lintian.Code, 0) << lintian.Output.toStdString();
    EXPECT_FALSE(lintian.Output.contains("E: ") || lintian.Output.contains("hardening-")) << lintian.Output.toStdString();
}

}  // namespace
