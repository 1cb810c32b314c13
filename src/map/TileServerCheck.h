#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

#include "Inet.h"

// "Test" of the tile server setting: fetches one tile and says whether a picture came back or
// what failed.
class TileServerCheck : public QObject {
    Q_OBJECT
public:
    explicit TileServerCheck(QObject* parent = nullptr);
    // Starts a check, cancelling one still running.
    void Start(const QUrl& server);
    bool Running() const;
    // Tests make a hung server short.
    void SetTimeout(int milliseconds);

signals:
    void Finished(bool worked, const QString& text);

private:
    void OnState(int16_t state);
    Inet m_inet;
    QUrl m_server;
};
