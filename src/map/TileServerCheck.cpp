#include "TileServerCheck.h"

#include <QImage>

#include "TileLibrary.h"

namespace {

// A tile every server of the program's kind has: Seattle, aerial photo at 64 metres/pixel.
TileAddress SampleTile()
{
    return TileAddress{1, 16, 10, 42, 411};
}

}  // namespace

TileServerCheck::TileServerCheck(QObject* parent)
    : QObject(parent)
{
    m_inet.SetTransferTimeout(30000);
    connect(&m_inet, &Inet::StateChanged, this, &TileServerCheck::OnState);
}

void TileServerCheck::SetTimeout(int milliseconds)
{
    m_inet.SetTransferTimeout(milliseconds);
}

bool TileServerCheck::Running() const
{
    return m_inet.StillExecuting();
}

void TileServerCheck::Start(const QUrl& server)
{
    m_inet.Cancel();
    m_server = server;
    if (!m_inet.Execute(TileUrl(server, SampleTile())))
        emit Finished(false, QStringLiteral("'%1' is not a URL a tile can be asked from.").arg(server.toString()));
}

void TileServerCheck::OnState(int16_t state)
{
    const QString where = m_server.toDisplayString(QUrl::RemoveUserInfo);
    if (state == Inet::StateError) {
        const QString reason = QString::number(m_inet.ResponseCode()) + u' ' + m_inet.ResponseInfo();
        m_inet.Cancel();
        emit Finished(false, QStringLiteral("The tile server at %1 did not send a tile: %2").arg(where, reason));
    } else if (state == Inet::StateResponseCompleted) {
        QByteArray body;
        for (QByteArray chunk; !(chunk = m_inet.GetChunk(Inet::MaxBodyBytes)).isEmpty();)
            body += chunk;
        const QImage tile = QImage::fromData(body);
        if (tile.isNull())
            emit Finished(false, QStringLiteral("The tile server at %1 answered, but not with a picture (%2 bytes).")
                                     .arg(where).arg(body.size()));
        else
            emit Finished(true, QStringLiteral("The tile server at %1 works: it sent a tile of %2 x %3 pixels.")
                                    .arg(where).arg(tile.width()).arg(tile.height()));
    }
}
