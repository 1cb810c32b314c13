#pragma once

#include <memory>
#include <vector>

#include <QDialog>
#include <QHash>
#include <QImage>
#include <QSet>
#include <QString>

#include "MapTypes.h"
#include "TileFetcher.h"
#include "PickView.h"

class QLabel;
class QPainter;
class clsWindowPos;

// Where the dialog opens when the fields hold no point: 47.36.37 N 122.21.07 W, degrees.
inline constexpr double DefaultPickLatitude = 47.0 + 36.37 / 60.0;
inline constexpr double DefaultPickLongitude = -(122.0 + 21.07 / 60.0);

// What the overview shows besides the view: its tiles, and the map a Download would make.
struct OverviewScene {
    int16_t ImageType = 1;
    bool GridSquares = true;           // the Maidenhead grid with its locators
    QHash<QString, QImage> Pictures;   // by tile name "T-S-Z-X-Y"
    QSet<QString> Failed;              // tiles that could not be had: grey
    bool HasGrid = false;
    MapRequest Request;
    TileGrid Grid;
    std::vector<bool> InLibrary;       // the grid's tiles, row by row from the south
};

// Paints the overview at the view's scale: tiles, the map's rectangle with its tiles shaded by
// whether the tile library has them, the grid squares, and the crosshair on the reference point.
class OverviewPainter {
public:
    void Paint(QPainter& painter, const PickView& view, const OverviewScene& scene);
    // The view was dragged since the last paint.
    void Panned() { m_panned = true; }

private:
    // The grid squares are costly to work out and draw, so they are drawn once onto a layer
    // reaching past the view on every side, which a drag then only moves.
    void DrawGridLayer(const PickView& view);

    QImage m_gridLayer;
    int16_t m_layerZone = 0;
    int16_t m_layerScale = 0;
    double m_layerWest = 0;    // UTM metres of the layer's top-left corner
    double m_layerNorth = 0;
    bool m_panned = false;
};

// "Pick on Map": the reference point chosen on an overview of the tile server's tiles. The
// point the dialog ends with is in LatitudeText / LongitudeText; the caller writes it.
class frmPickOnMap : public QDialog {
    Q_OBJECT
public:
    // latitude, longitude: the point it opens on (degrees, east positive); choices: the main
    // window's lists; fetcher: set to the tile library and the server (the dialog sets its
    // limit and time-out).
    frmPickOnMap(QWidget* parent, double latitude, double longitude, const ListChoices& choices,
                 TileFetcher& fetcher);
    ~frmPickOnMap() override;

    // The point in the fields' normal form ("47.36.37", "122.21.07").
    QString LatitudeText() const;
    QString LongitudeText() const;

    const PickView& View() const { return m_view; }
    const OverviewScene& Scene() const { return m_scene; }
    QString PointerText() const;
    QString CostText() const;

    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ViewChanged();
    void PointChanged();
    // The map's grid, which of its tiles the library has, and its cost.
    void UpdateMapGrid();
    void RequestTiles();
    void ShowPointer(QPoint at);
    void OnTileDone(const FetchedTile& tile);
    bool HandleKey(int key);

    PickView m_view;
    OverviewScene m_scene;
    OverviewPainter m_painter;
    ListChoices m_choices;
    TileFetcher& m_fetcher;
    std::unique_ptr<clsWindowPos> m_windowPos;
    QWidget* picOverview = nullptr;
    QLabel* labPointer = nullptr;
    QLabel* labCost = nullptr;
    QPoint m_pressAt;
    QPoint m_lastDragAt;
    bool m_pressed = false;
    bool m_dragging = false;
    int m_wheelDelta = 0;   // eighths of a degree not yet taken as a notch
};
