#include "Inet.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include "Version.h"

namespace {
constexpr int DefaultTransferTimeout = 60000;
}

static_assert(Inet::TimeoutCode == QNetworkReply::TimeoutError);
static_assert(Inet::TooLargeCode == QNetworkReply::UnknownContentError);

Inet::Inet(QObject* parent)
    : QObject(parent), m_manager(new QNetworkAccessManager(this))
{
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(DefaultTransferTimeout);
    connect(&m_deadline, &QTimer::timeout, this, [this] { OnTimeout(); });
}

Inet::~Inet()
{
    Cancel();
}

bool Inet::Execute(const QUrl& url)
{
    if (StillExecuting())
        return false;

    ++m_generation;
    m_body.clear();
    m_bodyOffset = 0;
    m_responseCode = 0;
    m_responseInfo.clear();
    m_remoteHost = url.host();
    m_cacheControl.clear();
    m_receivedSome = false;

    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QStringLiteral("Quiltmap/") + QLatin1String(QuiltmapVersion::Text));
    QNetworkReply* reply = m_manager->get(request);
    m_reply = reply;

    connect(reply, &QNetworkReply::socketStartedConnecting, this,
            [this] { Report(StateConnecting); });
    connect(reply, &QNetworkReply::requestSent, this, [this] {
        Report(StateConnected);
        Report(StateRequestSent);
    });
    connect(reply, &QNetworkReply::metaDataChanged, this,
            [this] { Report(StateReceivingResponse); });
    connect(reply, &QNetworkReply::readyRead, this, [this] {
        if (!m_receivedSome) {
            m_receivedSome = true;
            Report(StateResponseReceived);
        }
    });
    connect(reply, &QNetworkReply::downloadProgress, this, [this, reply](qint64 received, qint64 total) {
        if (reply == m_reply && (received > MaxBodyBytes || total > MaxBodyBytes))
            Fail(TooLargeCode, QStringLiteral("The answer is too large to be a tile."));
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        if (reply == m_reply)
            OnFinished();
    });

    m_deadline.start();
    return true;
}

bool Inet::StillExecuting() const
{
    return !m_reply.isNull();
}

QByteArray Inet::GetChunk(int maxBytes)
{
    if (maxBytes <= 0 || m_bodyOffset >= m_body.size())
        return {};
    const QByteArray chunk = m_body.mid(m_bodyOffset, maxBytes);
    m_bodyOffset += chunk.size();
    return chunk;
}

void Inet::Cancel()
{
    // Reports already queued for this request are dropped as well.
    ++m_generation;
    ReleaseReply();
}

int Inet::ResponseCode() const
{
    return m_responseCode;
}

QString Inet::ResponseInfo() const
{
    return m_responseInfo;
}

QString Inet::RemoteHost() const
{
    return m_remoteHost;
}

QByteArray Inet::CacheControl() const
{
    return m_cacheControl;
}

void Inet::SetTransferTimeout(int milliseconds)
{
    m_deadline.setInterval(qMax(1, milliseconds));
}

int Inet::TransferTimeout() const
{
    return m_deadline.interval();
}

void Inet::OnFinished()
{
    QNetworkReply* reply = m_reply;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    // An error status is an error whatever body came with it; Qt's own mapping of the status
    // (404 to ContentNotFoundError and so on) is not what the user should read.
    if (status.isValid() && status.toInt() >= 400) {
        QString reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        if (reason.isEmpty())
            reason = reply->errorString();
        Fail(status.toInt(), reason);
        return;
    }
    // Any transport error, a connection closed before the whole body among them, means the
    // bytes that did arrive are not the answer.
    if (reply->error() != QNetworkReply::NoError) {
        Fail(reply->error(), reply->errorString());
        return;
    }
    m_body = reply->readAll();
    m_cacheControl = reply->rawHeader("Cache-Control");
    m_bodyOffset = 0;
    ReleaseReply();
    Report(StateResponseCompleted);
}

void Inet::OnTimeout()
{
    if (!StillExecuting())
        return;
    Fail(TimeoutCode, QStringLiteral("The server did not answer in time."));
}

void Inet::Fail(int code, const QString& text)
{
    m_responseCode = code;
    m_responseInfo = text;
    m_body.clear();
    m_bodyOffset = 0;
    ReleaseReply();
    Report(StateError);
}

void Inet::ReleaseReply()
{
    m_deadline.stop();
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    if (!reply)
        return;
    // Disconnected first: abort() emits finished before it returns, and nothing of this
    // request may reach the handlers any more.
    disconnect(reply, nullptr, this, nullptr);
    if (reply->isRunning())
        reply->abort();
    reply->deleteLater();
}

void Inet::Report(State state)
{
    // Queued, so that the handlers (which may open modal boxes) run from the event loop and
    // not from inside the network reply's signals.
    const quint64 generation = m_generation;
    QMetaObject::invokeMethod(
        this,
        [this, state, generation] {
            if (generation == m_generation)
                emit StateChanged(state);
        },
        Qt::QueuedConnection);
}
