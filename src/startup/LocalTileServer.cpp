#include "LocalTileServer.h"

#include <csignal>

#include <sys/prctl.h>

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "MapMaker.h"

namespace {

constexpr int RetryMilliseconds = 200;
// The server listens before it prepares any map data, so this is generous.
constexpr int StartSeconds = 60;
const QString ProgramName = QStringLiteral("quiltmap-tileserver");

}  // namespace

LocalTileServer::LocalTileServer(const QString& program, const QString& logFile, quint16 port, QObject* parent)
    : QObject(parent), m_program(program), m_logFile(logFile), m_port(port)
{
    m_retry.setSingleShot(true);
    m_retry.setInterval(RetryMilliseconds);
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(StartSeconds * 1000);
    connect(&m_retry, &QTimer::timeout, this, &LocalTileServer::Probe);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        Fail(QStringLiteral("The tile server started on %1 did not answer within %2 seconds; see %3")
                 .arg(Address()).arg(StartSeconds).arg(m_logFile));
    });
    connect(&m_probe, &QTcpSocket::connected, this, &LocalTileServer::ProbeAnswered);
    connect(&m_probe, &QTcpSocket::errorOccurred, this, &LocalTileServer::ProbeRefused);
    connect(&m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            Fail(QStringLiteral("The tile server %1 could not be started: %2").arg(m_program, m_process.errorString()));
    });
    connect(&m_process, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        if (m_phase == Phase::Starting)
            Fail(QStringLiteral("The tile server ended at once (%1); see %2")
                     .arg(status == QProcess::NormalExit ? QStringLiteral("exit status %1").arg(code)
                                                         : QStringLiteral("crashed"),
                          m_logFile));
        else if (m_phase == Phase::Started)
            m_phase = Phase::Unknown;   // the next request starts another
    });
}

LocalTileServer::~LocalTileServer()
{
    m_process.disconnect(this);
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

QString LocalTileServer::Address() const
{
    return QStringLiteral("localhost:%1").arg(m_port);
}

bool LocalTileServer::ReadyFor(const QUrl& server)
{
    const bool isDefault = server.scheme() == QStringLiteral("http") && server.port(80) == m_port
                           && (server.host() == QStringLiteral("localhost") || server.host() == QStringLiteral("127.0.0.1"));
    if (!isDefault)
        return true;
    switch (m_phase) {
    case Phase::Unknown:
        m_phase = Phase::Probing;
        Probe();
        return false;
    case Phase::Probing:
    case Phase::Starting:
        return false;
    case Phase::Started:
    case Phase::Elsewhere:
    case Phase::Failed:
        return true;
    }
    return true;
}

void LocalTileServer::Recheck()
{
    if (m_phase == Phase::Elsewhere || m_phase == Phase::Failed)
        m_phase = Phase::Unknown;
}

bool LocalTileServer::Running() const
{
    return m_process.state() == QProcess::Running;
}

void LocalTileServer::Probe()
{
    m_probe.abort();
    m_probe.connectToHost(QStringLiteral("127.0.0.1"), m_port);
}

void LocalTileServer::ProbeAnswered()
{
    m_probe.abort();
    if (m_phase == Phase::Starting) {
        m_deadline.stop();
        m_phase = Phase::Started;
        emit Status(QStringLiteral("The tile server on %1 is ready.").arg(Address()));
    } else if (m_phase == Phase::Probing) {
        m_phase = Phase::Elsewhere;
    }
}

void LocalTileServer::ProbeRefused()
{
    m_probe.abort();
    if (m_phase == Phase::Probing)
        Launch();
    else if (m_phase == Phase::Starting)
        m_retry.start();
}

void LocalTileServer::Launch()
{
    if (m_program.isEmpty()) {
        Fail(QStringLiteral("No tile server answers on %1, and %2 was not found beside Quiltmap or on the PATH.")
                 .arg(Address(), ProgramName));
        return;
    }
    QDir().mkpath(QFileInfo(m_logFile).path());
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardOutputFile(m_logFile);
    m_process.setStandardInputFile(QProcess::nullDevice());
    // Ended with this program even when it is killed.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_phase = Phase::Starting;
    emit Status(QStringLiteral("Starting the tile server on %1 (its log: %2)...").arg(Address(), m_logFile));
    m_deadline.start();
    m_process.start(m_program, {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:%1").arg(m_port)});
    if (m_phase == Phase::Starting)
        m_retry.start();
}

void LocalTileServer::Fail(const QString& text)
{
    m_retry.stop();
    m_deadline.stop();
    m_phase = Phase::Failed;
    emit Status(text);
}

QString FindTileServerProgram(const QString& executableFolder)
{
    const QString beside = QStandardPaths::findExecutable(ProgramName, {executableFolder});
    return beside.isEmpty() ? QStandardPaths::findExecutable(ProgramName) : beside;
}

QString TileServerLogFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
           + QStringLiteral("/Quiltmap/quiltmap-tileserver.log");
}

void WaitForLocalTileServer(MapMaker& maker, LocalTileServer& server)
{
    maker.SetRequestGate([&server](const QUrl& url) { return server.ReadyFor(url); });
    QObject::connect(&maker, &MapMaker::DownloadEnded, &server, &LocalTileServer::Recheck);
}
