#include "frmPickOnMap.h"

#include <algorithm>
#include <cmath>

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "CoordinateEntry.h"
#include "GridSquaresPainter.h"
#include "Maidenhead.h"
#include "MapCost.h"
#include "MapRequest.h"
#include "TileLibrary.h"
#include "clsWindowPos.h"

namespace {

constexpr int ArrowStepPixels = 200;
// The overview asks the server this many tiles at once, each for at most this long.
constexpr int RequestsAtOnce = 4;
constexpr int RequestMilliseconds = 10000;
constexpr int16_t Wgs84 = 22;   // row of the ellipsoid catalogue
const QColor Background(238, 236, 230);
const QColor FailedGrey(160, 160, 160);
const QColor InLibraryShade(40, 160, 60, 70);
const QColor ToFetchShade(230, 120, 20, 70);

QString TileName(const TileAddress& tile)
{
    return TileFileBaseName(QString(), tile);
}

QRect ToQRect(const PickView::Rect& r)
{
    return QRect(QPoint(r.Left, r.Top), QPoint(r.Right - 1, r.Bottom - 1));
}

}  // namespace

void OverviewPainter::DrawGridLayer(const PickView& view)
{
    constexpr int Margin = 200;   // pixels each side
    const PickView::Point topLeft = view.ScreenToUtm(-Margin, -Margin);
    m_layerZone = view.Zone();
    m_layerScale = view.ScaleCode();
    m_layerWest = topLeft.X;
    m_layerNorth = topLeft.Y;
    m_gridLayer = QImage(view.Width() + 2 * Margin, view.Height() + 2 * Margin, QImage::Format_ARGB32_Premultiplied);
    m_gridLayer.fill(Qt::transparent);
    QPainter painter(&m_gridLayer);
    DrawGridSquares(painter, QRectF(m_gridLayer.rect()),
                    UtmPixelMapping(Wgs84, m_layerZone, view.Band(), m_layerWest, m_layerNorth, view.MetresPerPixel()));
}

void OverviewPainter::Paint(QPainter& painter, const PickView& view, const OverviewScene& scene)
{
    painter.fillRect(QRect(0, 0, view.Width(), view.Height()), Background);
    for (const TileAddress& tile : view.CoveringTiles(scene.ImageType)) {
        const QString name = TileName(tile);
        const QRect place = ToQRect(view.TileRect(tile));
        if (const auto it = scene.Pictures.constFind(name); it != scene.Pictures.cend()) {
            if (it->size() == place.size())
                painter.drawImage(place.topLeft(), *it);
            else
                painter.drawImage(place, *it);
        } else if (scene.Failed.contains(name)) {
            painter.fillRect(place, FailedGrey);
        }
    }

    if (scene.HasGrid) {
        const TileGrid& grid = scene.Grid;
        const int wide = scene.Request.TilesWide;
        for (int row = 0; row < scene.Request.TilesHigh; ++row)
            for (int column = 0; column < wide; ++column) {
                const size_t index = size_t(row) * wide + column;
                const bool cached = index < scene.InLibrary.size() && scene.InLibrary[index];
                painter.fillRect(ToQRect(view.TileRect(GridTile(scene.Request, grid, column, row))),
                                 cached ? InLibraryShade : ToFetchShade);
            }
        const QRect outline = ToQRect(view.GridRect(grid));
        painter.setPen(QPen(Qt::white, 3));
        painter.drawRect(outline);
        painter.setPen(QPen(QColor(200, 20, 20), 1));
        painter.drawRect(outline);
    }

    if (scene.GridSquares) {
        PickView::Point at = view.UtmToScreen(m_layerWest, m_layerNorth);
        const QRect layer(qRound(at.X), qRound(at.Y), m_gridLayer.width(), m_gridLayer.height());
        const bool sameGround = view.Zone() == m_layerZone && view.ScaleCode() == m_layerScale;
        if (sameGround && layer.contains(QRect(0, 0, view.Width(), view.Height()))) {
            painter.drawImage(layer.topLeft(), m_gridLayer);
        } else if (sameGround && m_panned) {
            DrawGridLayer(view);
            at = view.UtmToScreen(m_layerWest, m_layerNorth);
            painter.drawImage(QPoint(qRound(at.X), qRound(at.Y)), m_gridLayer);
        } else {
            // Opened, rescaled or in another zone: straight onto the view, the layer only once
            // the view is dragged.
            const PickView::Point topLeft = view.ScreenToUtm(0, 0);
            DrawGridSquares(painter, QRectF(0, 0, view.Width(), view.Height()),
                            UtmPixelMapping(Wgs84, view.Zone(), view.Band(), topLeft.X, topLeft.Y,
                                            view.MetresPerPixel()));
            m_layerZone = view.Zone();
            m_layerScale = view.ScaleCode();
            m_gridLayer = QImage();
        }
        m_panned = false;
    }

    const PickView::Point at = view.UtmToScreen(view.PointEasting(), view.PointNorthing());
    const QPoint centre(qRound(at.X), qRound(at.Y));
    for (const auto& [colour, width] : {std::pair{QColor(Qt::white), 3}, std::pair{QColor(Qt::black), 1}}) {
        painter.setPen(QPen(colour, width));
        painter.drawLine(centre - QPoint(14, 0), centre - QPoint(4, 0));
        painter.drawLine(centre + QPoint(4, 0), centre + QPoint(14, 0));
        painter.drawLine(centre - QPoint(0, 14), centre - QPoint(0, 4));
        painter.drawLine(centre + QPoint(0, 4), centre + QPoint(0, 14));
    }
}

frmPickOnMap::frmPickOnMap(QWidget* parent, double latitude, double longitude, const ListChoices& choices,
                           TileFetcher& fetcher)
    : QDialog(parent), m_choices(choices), m_fetcher(fetcher)
{
    setObjectName(QStringLiteral("frmPickOnMap"));
    setWindowTitle(QStringLiteral("Pick on Map"));
    setSizeGripEnabled(true);
    m_scene.ImageType = int16_t(choices.TypeIndex + 1);
    // A point without a UTM zone (beyond 84 N) opens on the default point.
    const int16_t scale = int16_t(choices.ScaleIndex + PickView::FirstScale);
    if (!m_view.Open(latitude, longitude, scale, 1, 1))
        m_view.Open(DefaultPickLatitude, DefaultPickLongitude, scale, 1, 1);

    picOverview = new QWidget(this);
    picOverview->setObjectName(QStringLiteral("picOverview"));
    picOverview->setFocusPolicy(Qt::StrongFocus);
    picOverview->setMouseTracking(true);
    picOverview->setAttribute(Qt::WA_OpaquePaintEvent);
    picOverview->setMinimumSize(200, 150);
    picOverview->installEventFilter(this);
    labPointer = new QLabel(this);
    labPointer->setObjectName(QStringLiteral("labPointer"));
    labCost = new QLabel(this);
    labCost->setObjectName(QStringLiteral("labCost"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(labPointer);
    bottom->addSpacing(24);
    bottom->addWidget(labCost, 1);
    bottom->addWidget(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(picOverview, 1);
    layout->addLayout(bottom);

    m_fetcher.SetMaxRequests(RequestsAtOnce);
    m_fetcher.SetTimeout(RequestMilliseconds);
    connect(&m_fetcher, &TileFetcher::TileDone, this, &frmPickOnMap::OnTileDone);

    // Large where the screen allows; the remembered place replaces it.
    m_view.Resize(picOverview->width(), picOverview->height());
    QSize size(1200, 800);
    if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size());
    resize(size);
    m_windowPos = std::make_unique<clsWindowPos>();
    m_windowPos->Init(this, QStringLiteral("PICK"), parent);

    picOverview->setFocus(Qt::OtherFocusReason);
    PointChanged();
}

frmPickOnMap::~frmPickOnMap()
{
    m_fetcher.CancelAll();
}

void frmPickOnMap::done(int result)
{
    m_windowPos.reset();   // stores the dialog's place while it is still on the screen
    m_fetcher.CancelAll();
    QDialog::done(result);
}

QString frmPickOnMap::LatitudeText() const
{
    return CoordinateFieldText(m_view.PointLatitude(), false);
}

QString frmPickOnMap::LongitudeText() const
{
    return CoordinateFieldText(m_view.PointLongitude(), true);
}

QString frmPickOnMap::PointerText() const
{
    return labPointer->text();
}

QString frmPickOnMap::CostText() const
{
    return labCost->text();
}

void frmPickOnMap::ViewChanged()
{
    RequestTiles();
    picOverview->update();
}

void frmPickOnMap::PointChanged()
{
    UpdateMapGrid();
    ViewChanged();
}

void frmPickOnMap::UpdateMapGrid()
{
    m_scene.HasGrid = m_view.MapGrid(m_choices, m_scene.Request, m_scene.Grid);
    m_scene.InLibrary.clear();
    if (!m_scene.HasGrid) {
        labCost->clear();
        return;
    }
    const QString folder = m_fetcher.TileLibraryFolder();
    for (int row = 0; row < m_scene.Request.TilesHigh; ++row)
        for (int column = 0; column < m_scene.Request.TilesWide; ++column)
            m_scene.InLibrary.push_back(
                !FindLibraryTile(folder, GridTile(m_scene.Request, m_scene.Grid, column, row)).isEmpty());
    MapCost cost;
    cost.Tiles = int(m_scene.InLibrary.size());
    cost.InLibrary = int(std::count(m_scene.InLibrary.begin(), m_scene.InLibrary.end(), true));
    labCost->setText(MapCostText(cost));
}

void frmPickOnMap::RequestTiles()
{
    const std::vector<TileAddress> covering = m_view.CoveringTiles(m_scene.ImageType);
    std::vector<TileAddress> wanted;
    for (const TileAddress& tile : covering) {
        const QString name = TileName(tile);
        if (!m_scene.Pictures.contains(name) && !m_scene.Failed.contains(name))
            wanted.push_back(tile);
    }
    // Tiles scrolled out of view are dropped; the rest go nearest the centre first.
    m_fetcher.KeepOnly(wanted);
    for (size_t i = 0; i < wanted.size(); ++i)
        m_fetcher.Fetch(wanted[i], int(i));
}

void frmPickOnMap::OnTileDone(const FetchedTile& done)
{
    const QString name = TileName(done.Tile);
    if (done.Result == FetchedTile::Outcome::Picture) {
        // Only the tiles of a few screens are kept; the rest come again from the tile library.
        constexpr qsizetype KeptTiles = 600;
        if (m_scene.Pictures.size() >= KeptTiles) {
            QHash<QString, QImage> shown;
            for (const TileAddress& tile : m_view.CoveringTiles(m_scene.ImageType))
                if (const auto it = m_scene.Pictures.constFind(TileName(tile)); it != m_scene.Pictures.cend())
                    shown.insert(it.key(), it.value());
            m_scene.Pictures.swap(shown);
        }
        m_scene.Pictures.insert(name, done.Picture);
    } else {
        m_scene.Failed.insert(name);
    }
    // A tile fetched for the overview may be one of the map's.
    if (done.Stored && m_scene.HasGrid && done.Tile.Scale == m_scene.Grid.ScaleCode
        && done.Tile.Type == m_scene.ImageType)
        UpdateMapGrid();
    picOverview->update();
}

void frmPickOnMap::ShowPointer(QPoint at)
{
    double latitude = 0;
    double longitude = 0;
    if (!m_view.ScreenToLatLong(at.x(), at.y(), latitude, longitude) || std::fabs(latitude) > 90) {
        labPointer->clear();
        return;
    }
    longitude = std::remainder(longitude, 360.0);
    labPointer->setText(CoordinateFieldText(latitude, false) + (latitude < 0 ? QStringLiteral(" S  ") : QStringLiteral(" N  "))
                        + CoordinateFieldText(longitude, true) + (longitude > 0 ? QStringLiteral(" E  ") : QStringLiteral(" W  "))
                        + LocatorOf(latitude, longitude, 6));
}

bool frmPickOnMap::HandleKey(int key)
{
    const PickView::Point centre{m_view.Width() / 2.0, m_view.Height() / 2.0};
    switch (key) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
    case Qt::Key_PageUp:
        if (m_view.StepScale(-1, centre))
            ViewChanged();
        return true;
    case Qt::Key_Minus:
    case Qt::Key_PageDown:
        if (m_view.StepScale(1, centre))
            ViewChanged();
        return true;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down: {
        const int east = key == Qt::Key_Left ? -ArrowStepPixels : key == Qt::Key_Right ? ArrowStepPixels : 0;
        const int north = key == Qt::Key_Down ? -ArrowStepPixels : key == Qt::Key_Up ? ArrowStepPixels : 0;
        if (m_view.MovePoint(east, north))
            PointChanged();
        return true;
    }
    case Qt::Key_G:
        m_scene.GridSquares = !m_scene.GridSquares;
        picOverview->update();
        return true;
    default:
        return false;
    }
}

bool frmPickOnMap::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != picOverview)
        return false;
    switch (event->type()) {
    case QEvent::Paint: {
        QPainter painter(picOverview);
        m_painter.Paint(painter, m_view, m_scene);
        return true;
    }
    case QEvent::Resize:
        m_view.Resize(picOverview->width(), picOverview->height());
        RequestTiles();
        return false;
    case QEvent::KeyPress:
        return HandleKey(static_cast<QKeyEvent*>(event)->key());
    case QEvent::Wheel: {
        // One step a notch; a touchpad's small deltas add up to notches.
        const auto* wheel = static_cast<QWheelEvent*>(event);
        m_wheelDelta += wheel->angleDelta().y();
        const int notches = m_wheelDelta / QWheelEvent::DefaultDeltasPerStep;
        m_wheelDelta -= notches * QWheelEvent::DefaultDeltasPerStep;
        const QPointF at = wheel->position();
        if (notches != 0 && m_view.StepScale(-notches, {at.x(), at.y()}))
            ViewChanged();
        return true;
    }
    case QEvent::MouseButtonPress: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        m_pressed = true;
        m_dragging = false;
        m_pressAt = m_lastDragAt = mouse->position().toPoint();
        return true;
    }
    case QEvent::MouseMove: {
        const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
        if (m_pressed) {
            if (!m_dragging && (at - m_pressAt).manhattanLength() >= QApplication::startDragDistance()) {
                m_dragging = true;
                picOverview->setCursor(Qt::ClosedHandCursor);
            }
            if (m_dragging) {
                m_view.Pan(at.x() - m_lastDragAt.x(), at.y() - m_lastDragAt.y());
                m_painter.Panned();
                m_lastDragAt = at;
                ViewChanged();
            }
        }
        ShowPointer(at);
        return true;
    }
    case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton || !m_pressed)
            return false;
        m_pressed = false;
        if (m_dragging)
            picOverview->unsetCursor();
        else if (m_view.SetPointAt(mouse->position().x(), mouse->position().y()))
            PointChanged();
        m_dragging = false;
        return true;
    }
    default:
        return false;
    }
}
