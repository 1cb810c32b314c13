#pragma once

#include <vector>

#include <QImage>
#include <QObject>

#include "TileLibrary.h"

// Where the overview's tiles come from: asked for the tiles a view wants, most wanted first,
// it answers each with one signal, a picture or a failure, and never shows a message.
class OverviewTileSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // The tiles wanted now, most wanted first; tiles asked for before and not listed again are
    // dropped unless already under way.
    virtual void Want(const std::vector<TileAddress>& tiles) = 0;

signals:
    void TileArrived(const TileAddress& tile, const QImage& picture);
    void TileFailed(const TileAddress& tile);
};
