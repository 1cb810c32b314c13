#pragma once

#include <cstdint>

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

// The transfer: one asynchronous HTTP GET at a time over QNetworkAccessManager, reporting its
// progress as numbered states on the UI thread and handing out the answer body in chunks.
// A cancelled request reports nothing more.
class Inet : public QObject {
    Q_OBJECT
public:
    // The states reported by StateChanged.
    enum State : int16_t {
        StateIdle = 0,
        StateResolvingHost = 1,
        StateResolvedHost = 2,
        StateConnecting = 3,
        StateConnected = 4,
        StateRequesting = 5,
        StateRequestSent = 6,
        StateReceivingResponse = 7,
        StateResponseReceived = 8,
        StateDisconnecting = 9,
        StateDisconnected = 10,
        StateError = 11,
        StateResponseCompleted = 12,
    };

    // Reported for a request cut off after the transfer timeout.
    static constexpr int TimeoutCode = 4;   // QNetworkReply::TimeoutError
    // A tile is a few kilobytes; an answer far beyond that is no tile and must not fill memory.
    static constexpr qint64 MaxBodyBytes = 16 * 1024 * 1024;
    static constexpr int TooLargeCode = 299;   // QNetworkReply::UnknownContentError

    explicit Inet(QObject* parent = nullptr);
    ~Inet() override;

    // Starts a GET and returns at once; false (and nothing started) while a request runs or for
    // an invalid URL.
    bool Execute(const QUrl& url);
    bool StillExecuting() const;
    // The next at most maxBytes bytes of the last completed answer; empty when none are left.
    QByteArray GetChunk(int maxBytes = 1024);
    // Stops the request in progress, if any; it reports nothing more.
    void Cancel();

    // Code and text of the last error: the HTTP status and reason phrase, or the transport
    // error's number and text.
    int ResponseCode() const;
    QString ResponseInfo() const;
    // Host of the current or last request.
    QString RemoteHost() const;
    // The Cache-Control header of the last completed answer, empty when it had none.
    QByteArray CacheControl() const;

    // Milliseconds a request may take in all before it is cut off as an error.
    void SetTransferTimeout(int milliseconds);
    int TransferTimeout() const;

signals:
    void StateChanged(int16_t state);

private:
    void OnFinished();
    void OnTimeout();
    void Fail(int code, const QString& text);
    void ReleaseReply();
    void Report(State state);

    QNetworkAccessManager* m_manager;
    QPointer<QNetworkReply> m_reply;
    QTimer m_deadline;
    QByteArray m_body;
    qsizetype m_bodyOffset = 0;
    int m_responseCode = 0;
    QString m_responseInfo;
    QString m_remoteHost;
    QByteArray m_cacheControl;
    bool m_receivedSome = false;
    quint64 m_generation = 0;   // bumped by Execute and Cancel; stale reports are dropped
};
