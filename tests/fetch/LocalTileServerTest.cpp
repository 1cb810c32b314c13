#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include "LocalTileServer.h"
#include "TestFiles.h"

// The tile server a front end starts for itself, with fake server programs.
namespace {

const QByteArray Listens = "#!/usr/bin/perl\nuse IO::Socket::INET;\nprint STDERR \"args: @ARGV\\n\";\n"
                           "my $s = IO::Socket::INET->new(LocalAddr => $ARGV[1], Listen => 5, ReuseAddr => 1) or die;\n"
                           "while (my $c = $s->accept) { close $c; }\n";
const QByteArray EndsAtOnce = "#!/bin/sh\necho 'no map data' >&2\nexit 3\n";

TEST(LocalTileServerTest, StartsOnlyWhenTheDefaultServerIsSilentAndStopsWithItsOwner)
{
    // No program: none found; already answering: a user unit, say; other server: the program uses another.
    const struct { QByteArray Program; bool AlreadyAnswering, OtherServer, Running; QString Status, Log; } cases[] = {
        {Listens, false, false, true, "is ready", "args: --listen 127.0.0.1:"},
        {Listens, true, false, false, "", ""},
        {Listens, false, true, false, "", ""},
        {EndsAtOnce, false, false, false, "ended at once (exit status 3)", "no map data"},
        {"", false, false, false, "quiltmap-tileserver was not found", ""},
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        QTcpServer other;
        ASSERT_TRUE(other.listen(QHostAddress::LocalHost));
        const quint16 port = other.serverPort();
        if (!c.AlreadyAnswering)
            other.close();
        const QString program = dir.filePath("quiltmap-tileserver"), log = dir.filePath("cache/server.log");
        if (!c.Program.isEmpty()) {
            ASSERT_TRUE(WriteFile(program, c.Program));
            QFile::setPermissions(program, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        }
        QString status;
        {
            LocalTileServer server(c.Program.isEmpty() ? QString() : program, log, port);
            QObject::connect(&server, &LocalTileServer::Status, [&status](const QString& text) { status = text; });
            const QUrl url(QStringLiteral("http://%1:%2").arg(c.OtherServer ? "127.0.0.2" : "localhost").arg(port));
            EXPECT_TRUE(QTest::qWaitFor([&] { return server.ReadyFor(url); }, 30000)) << c.Program.constData();
            EXPECT_EQ(server.Running(), c.Running) << status.toStdString();
            EXPECT_TRUE(status.contains(c.Status) && status.isEmpty() == c.Status.isEmpty()) << status.toStdString();
            EXPECT_TRUE(QString::fromUtf8(ReadFile(log)).contains(c.Log + (c.Running ? QString::number(port) : "")));
            EXPECT_EQ(QFileInfo::exists(log), !c.Log.isEmpty());
        }
        QTcpSocket socket;
        socket.connectToHost("127.0.0.1", port);
        EXPECT_FALSE(c.Running && socket.waitForConnected(5000)) << "stopped with its owner";
    }
}

}  // namespace
