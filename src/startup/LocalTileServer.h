#pragma once

#include <QObject>
#include <QProcess>
#include <QString>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

class MapMaker;

// The tile server a front end starts for itself. When the server in use is the default one
// (localhost:8421) and nothing answers there as a download asks for its first tile from the
// network, quiltmap-tileserver is started for as long as this object lives (its output in a log
// file) and the requests wait until it answers. Any other server, or one already answering
// there (a user unit), is used as it is.
class LocalTileServer : public QObject {
    Q_OBJECT
public:
    static constexpr quint16 DefaultPort = 8421;

    // program: the server executable, empty when none was found. port: where the default
    // server listens (tests use another).
    LocalTileServer(const QString& program, const QString& logFile, quint16 port = DefaultPort,
                    QObject* parent = nullptr);
    // Stops the server it started.
    ~LocalTileServer() override;

    // Whether a request to server may go now. False only while it is not known yet whether the
    // default server answers, or while the one started here is coming up; a server that cannot
    // be started lets the requests go (they then say what failed).
    bool ReadyFor(const QUrl& server);
    // The next request looks again whether the default server answers (a new download).
    void Recheck();
    // A server started here is running.
    bool Running() const;

signals:
    // What it is doing, for the status line.
    void Status(const QString& text);

private:
    enum class Phase { Unknown, Probing, Starting, Started, Elsewhere, Failed };
    void Probe();
    void ProbeAnswered();
    void ProbeRefused();
    void Launch();
    void Fail(const QString& text);
    QString Address() const;

    QString m_program;
    QString m_logFile;
    quint16 m_port;
    Phase m_phase = Phase::Unknown;
    QProcess m_process;
    QTcpSocket m_probe;
    QTimer m_retry;      // the next look while the started server comes up
    QTimer m_deadline;   // how long it may take to answer
};

// quiltmap-tileserver beside the program, else on PATH; empty when neither.
QString FindTileServerProgram(const QString& executableFolder);
// $XDG_CACHE_HOME/Quiltmap/quiltmap-tileserver.log, else ~/.cache/Quiltmap/...
QString TileServerLogFile();
// maker's network requests wait for server, and each download looks again.
void WaitForLocalTileServer(MapMaker& maker, LocalTileServer& server);
