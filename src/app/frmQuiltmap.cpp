#include "frmQuiltmap.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWindow>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>

#include "ContextIDs.h"
#include "CoordinateEntry.h"
#include "HostLink.h"
#include "Maidenhead.h"
#include "MapLayout.h"
#include "MapMaker.h"
#include "MapRequest.h"
#include "MessageBoxPrompter.h"
#include "ProgramFolder.h"
#include "ProgramSetup.h"
#include "SettingsProcedures.h"
#include "Version.h"
#include "clsIni.h"
#include "clsMonitors.h"
#include "clsWindowPos.h"
#include "frmAbout.h"
#include "frmGridLocator.h"
#include "frmPickOnMap.h"
#include "frmTileServer.h"
#include "LocalTileServer.h"

namespace {

const QString Title = QStringLiteral("Quiltmap");
const QString Section = QStringLiteral("SETUP");

// Outer size the window never goes below, pixels.
constexpr int MinimumWidth = 500;
constexpr int MinimumHeight = 360;

}  // namespace

PreviewBox::PreviewBox(QWidget* parent)
    : QFrame(parent)
{
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
}

void PreviewBox::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    if (!m_image || m_image->isNull())
        return;
    QPainter painter(this);
    painter.drawImage(contentsRect().topLeft(), *m_image);
}

frmQuiltmap::frmQuiltmap(Prompter* prompter)
    : m_prompter(prompter)
{
    if (!m_prompter) {
        m_ownPrompter = std::make_unique<MessageBoxPrompter>(this);
        m_prompter = m_ownPrompter.get();
    }
    setObjectName(QStringLiteral("frmQuiltmap"));
    setWindowTitle(Title);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        m_twipsPerPixelX = 1440.0 / screen->logicalDotsPerInchX();
        m_twipsPerPixelY = 1440.0 / screen->logicalDotsPerInchY();
    }
    m_maker = new MapMaker(*this, *m_prompter, this);
    CreateControls();
    CreateMenus();
    m_status = new QLabel(this);
    statusBar()->addWidget(m_status, 1);
    m_progress = new QLabel(this);
    m_progress->setObjectName(QStringLiteral("progress"));
    statusBar()->addPermanentWidget(m_progress);
    m_locator = new QLabel(this);
    m_locator->setObjectName(QStringLiteral("labLocator"));
    statusBar()->addPermanentWidget(m_locator);
    for (QLineEdit* field : {txtLat, txtLong})
        connect(field, &QLineEdit::textChanged, this, [this] { UpdateFieldStatus(); });
    for (QComboBox* list : {cmbScale, cmbType, cmbWidth, cmbHeight})
        connect(list, &QComboBox::currentIndexChanged, this, [this] { UpdateFieldStatus(); });
    connect(optCentre, &QRadioButton::toggled, this, [this] { UpdateFieldStatus(); });
    statusBar()->setSizeGripEnabled(true);
    qApp->installEventFilter(this);
}

frmQuiltmap::~frmQuiltmap()
{
    qApp->removeEventFilter(this);
}

int frmQuiltmap::TwipsX(int twips) const
{
    return qRound(twips / m_twipsPerPixelX);
}

int frmQuiltmap::TwipsY(int twips) const
{
    return qRound(twips / m_twipsPerPixelY);
}

void frmQuiltmap::Place(QWidget* widget, int left, int top, int width, int height)
{
    widget->setGeometry(TwipsX(left), TwipsY(top), TwipsX(width), TwipsY(height));
}

void frmQuiltmap::CreateControls()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);
    // The design positions were made for a small dialog font.
    QFont font = client->font();
    font.setPointSizeF(8);
    client->setFont(font);

    auto label = [](QWidget* parent, const char* name, const QString& text) {
        auto* l = new QLabel(text, parent);
        l->setObjectName(QString::fromLatin1(name));
        return l;
    };
    auto combo = [](QWidget* parent, const char* name) {
        auto* c = new QComboBox(parent);
        c->setObjectName(QString::fromLatin1(name));
        return c;
    };
    auto edit = [](QWidget* parent, const char* name, int maxLength) {
        auto* e = new QLineEdit(parent);
        e->setObjectName(QString::fromLatin1(name));
        e->setMaxLength(maxLength);
        return e;
    };

    Frame1 = new QGroupBox(QStringLiteral("Reference point"), client);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Place(Frame1, 120, 120, 3135, 1515);
    Label2 = label(Frame1, "Label2", QStringLiteral("Latitude North"));
    Place(Label2, 240, 300, 1005, 195);
    Label3 = label(Frame1, "Label3", QStringLiteral("Longitude West"));
    Place(Label3, 1800, 300, 1125, 195);
    txtLat = edit(Frame1, "txtLat", 8);
    Place(txtLat, 180, 540, 1155, 285);
    txtLong = edit(Frame1, "txtLong", 9);
    Place(txtLong, 1800, 540, 1155, 285);
    optCentre = new QRadioButton(QStringLiteral("Centre"), Frame1);
    optCentre->setObjectName(QStringLiteral("optCentre"));
    Place(optCentre, 180, 1080, 915, 255);
    optCorner = new QRadioButton(QStringLiteral("Bottom left corner"), Frame1);
    optCorner->setObjectName(QStringLiteral("optCorner"));
    Place(optCorner, 1380, 1080, 1635, 255);
    optCentre->setChecked(true);
    // Tab enters the option group at the option that is set; the arrow keys move within it.
    for (QRadioButton* option : {optCentre, optCorner})
        connect(option, &QRadioButton::toggled, this, [this] { SetOptionTabStops(); });
    SetOptionTabStops();

    Label1 = label(client, "Label1", QStringLiteral("Resolution"));
    Place(Label1, 180, 1740, 750, 195);
    cmbScale = combo(client, "cmbScale");
    Place(cmbScale, 120, 1980, 1755, 315);
    Label6 = label(client, "Label6", QStringLiteral("Image type"));
    Place(Label6, 2040, 1740, 780, 195);
    cmbType = combo(client, "cmbType");
    Place(cmbType, 1980, 1980, 1275, 315);
    Label4 = label(client, "Label4", QStringLiteral("Map width"));
    Place(Label4, 180, 2460, 735, 195);
    cmbWidth = combo(client, "cmbWidth");
    Place(cmbWidth, 120, 2700, 1335, 315);
    Label5 = label(client, "Label5", QStringLiteral("Map height"));
    Place(Label5, 1980, 2460, 795, 195);
    cmbHeight = combo(client, "cmbHeight");
    Place(cmbHeight, 1920, 2700, 1335, 315);
    Label8 = label(client, "Label8", QStringLiteral("Map description"));
    Place(Label8, 180, 3240, 1125, 195);
    txtDesc = edit(client, "txtDesc", 30);
    Place(txtDesc, 120, 3480, 3135, 285);

    cmdOk = new QPushButton(QStringLiteral("&Download"), client);
    cmdOk->setObjectName(QStringLiteral("cmdOk"));
    Place(cmdOk, 1080, 4020, 1155, 435);
    connect(cmdOk, &QPushButton::clicked, this, [this] { m_maker->PressOk(); });

    Label7 = new QFrame(client);
    Label7->setObjectName(QStringLiteral("Label7"));
    Label7->setFrameStyle(QFrame::VLine | QFrame::Sunken);
    Place(Label7, 3420, 60, 45, 4515);

    labCaption = label(client, "labCaption",
                       QStringLiteral("Approximately 100 miles wide and 100 miles high"));
    labCaption->setAlignment(Qt::AlignCenter);
    Place(labCaption, 3810, 120, 3435, 195);

    picShow = new PreviewBox(client);
    picShow->setObjectName(QStringLiteral("picShow"));
    Place(picShow, 3600, 420, 3855, 3675);
    picShow->SetImage(&m_maker->Picture().Preview());

    // The design's tab order.
    QWidget* order[] = {txtLat, txtLong, optCorner, optCentre, cmbScale, cmbWidth,
                        cmbHeight, cmdOk, cmbType, txtDesc};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);

    connect(cmbWidth, &QComboBox::currentIndexChanged, this, [this] { SizeMapPicture(); });
    connect(cmbHeight, &QComboBox::currentIndexChanged, this, [this] { SizeMapPicture(); });
    connect(cmbScale, &QComboBox::currentIndexChanged, this, [this] { UpdateSizeCaption(); });
    // Anything that takes the focus from a coordinate field passes its check first.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        auto* field = qobject_cast<QLineEdit*>(old);
        if ((field == txtLat || field == txtLong) && now && now != field && now->window() == this
            && !ValidateField(field))
            field->setFocus(Qt::OtherFocusReason);
    });
}

void frmQuiltmap::SetOptionTabStops()
{
    for (QRadioButton* option : {optCentre, optCorner})
        option->setFocusPolicy(option->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
}

void frmQuiltmap::CreateMenus()
{
    QMenu* mnuOptions = menuBar()->addMenu(QStringLiteral("&Options"));
    mnuOptions->setObjectName(QStringLiteral("mnuOptions"));
    QAction* mnuClearTileLibrary = mnuOptions->addAction(QStringLiteral("&Clear Tile Library"));
    mnuClearTileLibrary->setObjectName(QStringLiteral("mnuClearTileLibrary"));
    connect(mnuClearTileLibrary, &QAction::triggered, this, [this] {
        m_maker->ClearTileLibrary();
        UpdateFieldStatus();
    });

    QMenu* mnuFileNames = mnuOptions->addMenu(QStringLiteral("&Make File Names..."));
    mnuFileNames->setObjectName(QStringLiteral("mnuFileNames"));
    // Plain checkable items, not an exclusive group, so they show a check mark rather than a radio
    // bullet; the click handler sets one mark and clears the other.
    const QString names[2] = {QStringLiteral("From &Description"), QStringLiteral(" From Date/&Time")};
    for (int index = 0; index < 2; ++index) {
        QAction* item = mnuFileNames->addAction(names[index]);
        item->setObjectName(QStringLiteral("mnuFileNameOpt%1").arg(index));
        item->setCheckable(true);
        connect(item, &QAction::triggered, this, [this, index] { FileNameOptionClicked(index); });
        mnuFileNameOpt[index] = item;
    }

    QAction* mnuGridLocator = mnuOptions->addAction(QStringLiteral("Grid &Locator..."));
    mnuGridLocator->setObjectName(QStringLiteral("mnuGridLocator"));
    connect(mnuGridLocator, &QAction::triggered, this, [this] { ShowGridLocator(); });
    mnuPickOnMap = mnuOptions->addAction(QStringLiteral("&Pick on Map..."));
    mnuPickOnMap->setObjectName(QStringLiteral("mnuPickOnMap"));
    connect(mnuPickOnMap, &QAction::triggered, this, [this] { ShowPickOnMap(); });
    // Not while a download runs: the fields it writes are locked then.
    connect(mnuOptions, &QMenu::aboutToShow, this, [this] { mnuPickOnMap->setEnabled(!m_maker->Downloading()); });
    mnuGisFiles = mnuOptions->addAction(QStringLiteral("Also Save G&IS Files"));
    mnuGisFiles->setObjectName(QStringLiteral("mnuGisFiles"));
    mnuGisFiles->setCheckable(true);
    connect(mnuGisFiles, &QAction::triggered, this, [this](bool checked) { GisFilesClicked(checked); });
    mnuGridSquares = mnuOptions->addAction(QStringLiteral("Draw &Grid Squares"));
    mnuGridSquares->setObjectName(QStringLiteral("mnuGridSquares"));
    mnuGridSquares->setCheckable(true);
    connect(mnuGridSquares, &QAction::triggered, this, [this](bool checked) {
        m_maker->SetDrawGridSquares(checked);
        clsIni ini;
        SaveGridSquaresOption(ini, checked);
    });
    QAction* mnuTileServer = mnuOptions->addAction(QStringLiteral("Tile &Server..."));
    mnuTileServer->setObjectName(QStringLiteral("mnuTileServer"));
    connect(mnuTileServer, &QAction::triggered, this, [this] { ShowTileServer(); });

    QAction* mnuHelp = menuBar()->addAction(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    connect(mnuHelp, &QAction::triggered, this,
            [] { ContextIDs::ShowHelpContext(ContextIDs::MainTopic); });
    QAction* mnuAbout = menuBar()->addAction(QStringLiteral("&About"));
    mnuAbout->setObjectName(QStringLiteral("mnuAbout"));
    connect(mnuAbout, &QAction::triggered, this, [this] { ShowAbout(); });
    QAction* mnuExit = menuBar()->addAction(QStringLiteral("E&xit"));
    mnuExit->setObjectName(QStringLiteral("mnuExit"));
    connect(mnuExit, &QAction::triggered, this, &QWidget::close);
}

void frmQuiltmap::FillLists()
{
    for (int i = 0; i <= 9; ++i)
        cmbScale->addItem(QString::number(1 << i)
                          + (i == 0 ? QStringLiteral(" metre/pixel") : QStringLiteral(" metres/pixel")));
    cmbScale->setCurrentIndex(0);
    for (QComboBox* list : {cmbWidth, cmbHeight}) {
        for (int i = 1; i <= 8; ++i)
            list->addItem(QStringLiteral("%1 pixels").arg(i * 200));
        list->setCurrentIndex(4);
    }
    cmbType->addItem(QStringLiteral("DOQ photo"));
    cmbType->addItem(QStringLiteral("DRG topo"));
    cmbType->setCurrentIndex(0);
}

void frmQuiltmap::FitCaptions()
{
    // The design positions were made for another font: labels, option buttons and lists grow
    // to their text where the design is too tight, and the frame to what it holds, up to the
    // separator.
    for (QWidget* control : std::initializer_list<QWidget*>{Label1, Label2, Label3, Label4, Label5,
                                                            Label6, Label8, optCentre, optCorner,
                                                            cmbScale, cmbType, cmbWidth, cmbHeight})
        control->resize(qMax(control->width(), control->sizeHint().width()), control->height());
    int contentRight = 0;
    for (const QWidget* child : Frame1->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        contentRight = qMax(contentRight, child->geometry().right() + 1);
    const int widest = Label7->x() - Frame1->x() - 2;
    Frame1->resize(qMin(widest, qMax(Frame1->width(), contentRight + Frame1->x())), Frame1->height());
}

bool frmQuiltmap::Load()
{
    const QString programFolder = ProgramFolder();
    ContextIDs::InitHelp(this, ContextIDs::FindHelpFolder(ExecutableFolder()));
    setWindowTitle(Title + QStringLiteral("  V%1.%2%3")
                               .arg(QuiltmapVersion::Major)
                               .arg(QuiltmapVersion::Minor)
                               .arg(QuiltmapVersion::Revision));

    // A comfortable first size; the remembered one replaces it.
    resize(720, 480);
    setMinimumSize(MinimumWidth, MinimumHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }

    if (!gMonitors)
        gMonitors = new clsMonitors();
    m_windowPos = std::make_unique<clsWindowPos>();
    m_windowPos->Init(this, QStringLiteral("MAIN"));

    FillLists();
    FitCaptions();

    ProgramFolders folders;
    if (const QString problem = SetUpProgramFolders(programFolder, WinePrefix(), folders); !problem.isEmpty()) {
        m_prompter->Warn(problem);
        return false;
    }
    m_hostFolder = folders.Host;
    m_maker->SetTileLibraryFolder(folders.TileLibrary);
    m_maker->SetMapsFolder(folders.Maps);
    m_localServer = std::make_unique<LocalTileServer>(FindTileServerProgram(ExecutableFolder()), TileServerLogFile());
    connect(m_localServer.get(), &LocalTileServer::Status, this, &frmQuiltmap::ShowTransferStatus);
    WaitForLocalTileServer(*m_maker, *m_localServer);
    UpdateFieldStatus();

    ApplyStoredSettings();
    AddToHostTools(m_hostFolder, Title, QCoreApplication::applicationFilePath());

    show();
    txtLat->setFocus(Qt::OtherFocusReason);
    m_previewLeft = picShow->x();
    m_layoutReady = true;
    SizeMapPicture();
    FirstStartCheck();
    return true;
}

void frmQuiltmap::ApplyStoredSettings()
{
    clsIni ini;
    ListCounts counts;
    counts.Scale = int16_t(cmbScale->count());
    counts.Type = int16_t(cmbType->count());
    counts.Width = int16_t(cmbWidth->count());
    counts.Height = int16_t(cmbHeight->count());
    const StoredChoices stored = LoadSettings(ini, counts);

    m_maker->SetFileNameOption(stored.FileNameOption);
    mnuFileNameOpt[stored.FileNameOption == 0 ? 0 : 1]->setChecked(true);
    cmbScale->setCurrentIndex(stored.Lists.ScaleIndex);
    cmbType->setCurrentIndex(stored.Lists.TypeIndex);
    cmbWidth->setCurrentIndex(stored.Lists.WidthIndex);
    cmbHeight->setCurrentIndex(stored.Lists.HeightIndex);
    (stored.Lists.ReferenceIsCentre ? optCentre : optCorner)->setChecked(true);

    m_maker->SetGisFiles(StoredGisFiles(ini));
    mnuGisFiles->setChecked(m_maker->GisFiles());
    m_maker->SetDrawGridSquares(StoredGridSquares(ini));
    mnuGridSquares->setChecked(m_maker->DrawGridSquares());
    m_maker->SetTransferTimeout(StoredTimeout(ini) * 1000);
    UseTileServer(StoredTileServer(ini));
}

void frmQuiltmap::UseTileServer(const QString& stored)
{
    m_maker->SetTileServer(ResolveTileServer(stored, qEnvironmentVariable("QUILTMAP_TILE_SERVER")));
    const QUrl server = m_maker->TileServer();
    m_statusLine.Server = server.port() < 0 ? server.host() : QStringLiteral("%1:%2").arg(server.host()).arg(server.port());
    ShowStatusLine();
}

void frmQuiltmap::ShowTileServer()
{
    clsIni ini;
    frmTileServer dialog(this, StoredTileServer(ini), qEnvironmentVariable("QUILTMAP_TILE_SERVER"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    SaveTileServer(ini, dialog.Setting());
    UseTileServer(dialog.Setting());
}

void frmQuiltmap::FirstStartCheck()
{
    clsIni ini;
    if (!clsIni::TextToBoolean(ini.GetIniString(Section, QStringLiteral("FIRST_TIME"), true)))
        return;
    ini.SaveIniString(Section, QStringLiteral("FIRST_TIME"), false);
    ContextIDs::ShowHelpContext(ContextIDs::MainTopic);
}

void frmQuiltmap::FileNameOptionClicked(int index)
{
    m_maker->SetFileNameOption(int16_t(index));
    mnuFileNameOpt[index]->setChecked(true);
    mnuFileNameOpt[index ^ 1]->setChecked(false);
    clsIni ini;
    SaveFileNameOption(ini, int16_t(index));
}

void frmQuiltmap::GisFilesClicked(bool checked)
{
    m_maker->SetGisFiles(checked);
    clsIni ini;
    SaveGisFilesOption(ini, checked);
}

void frmQuiltmap::ShowGridLocator()
{
    frmGridLocator dialog(this, [this](const QString& locator, bool fit) { return ApplyGridLocator(locator, fit); });
    dialog.exec();
}

void frmQuiltmap::ShowPickOnMap()
{
    if (m_maker->Downloading())
        return;
    // The point in the fields, else the default one.
    const CoordinateCheck latitude = CheckCoordinateText(txtLat->text(), false);
    const CoordinateCheck longitude = CheckCoordinateText(txtLong->text(), true);
    const bool valid = latitude.Valid && !latitude.Empty && longitude.Valid && !longitude.Empty;
    TileFetcher fetcher;
    fetcher.SetTileLibraryFolder(m_maker->TileLibraryFolder());
    fetcher.SetTileServer(m_maker->TileServer());
    // The overview may be the first to ask for tiles: it starts the local tile server as a
    // download would, instead of drawing grey squares.
    if (m_localServer) {
        m_localServer->Recheck();
        fetcher.SetRequestGate([this](const QUrl& server) { return m_localServer->ReadyFor(server); });
    }
    frmPickOnMap dialog(this, valid ? latitude.Value : DefaultPickLatitude,
                        valid ? longitude.Value : DefaultPickLongitude, Choices(), fetcher);
    if (dialog.exec() != QDialog::Accepted)
        return;
    txtLat->setText(dialog.LatitudeText());
    txtLong->setText(dialog.LongitudeText());
}

bool frmQuiltmap::ApplyGridLocator(const QString& locator, bool fit)
{
    LocatorSquare square;
    if (const QString refusal = LocatorRefusal(locator, square); !refusal.isEmpty()) {
        m_prompter->Inform(refusal);
        return false;
    }
    const LocatorPlacement placement = PlaceLocator(square, fit, Choices());
    txtLat->setText(placement.LatitudeText);
    txtLong->setText(placement.LongitudeText);
    (placement.Lists.ReferenceIsCentre ? optCentre : optCorner)->setChecked(true);
    cmbScale->setCurrentIndex(placement.Lists.ScaleIndex);
    cmbWidth->setCurrentIndex(placement.Lists.WidthIndex);
    cmbHeight->setCurrentIndex(placement.Lists.HeightIndex);
    if (txtDesc->text().trimmed().isEmpty())
        txtDesc->setText(square.Locator);
    if (!placement.Message.isEmpty())
        m_prompter->Inform(placement.Message);
    return true;
}

void frmQuiltmap::UpdateFieldStatus()
{
    const CoordinateCheck latitude = CheckCoordinateText(txtLat->text(), false);
    const CoordinateCheck longitude = CheckCoordinateText(txtLong->text(), true);
    const bool valid = latitude.Valid && !latitude.Empty && longitude.Valid && !longitude.Empty;
    m_statusLine.Locator = valid ? LocatorOf(latitude.Value, longitude.Value, 6) : QString();
    if (!m_maker->Downloading()) {
        MapRequest request;
        TileGrid grid;
        m_statusLine.Cost.reset();
        if (valid && BuildTileGrid(Choices(), latitude.Value, longitude.Value, request, grid))
            m_statusLine.Cost = CountMapCost(GridTiles(request, grid), m_maker->TileLibraryFolder());
    }
    ShowStatusLine();
}

void frmQuiltmap::ShowStatusLine()
{
    const StatusLineTexts texts = LayOutStatusLine(m_statusLine);
    m_status->setText(texts.Message);
    m_progress->setText(texts.Work);
    m_locator->setText(texts.Locator);
}

void frmQuiltmap::ShowAbout()
{
    frmAbout about(this);
    about.exec();
}

void frmQuiltmap::SizeMapPicture()
{
    m_maker->SizeMapPicture();
    LayoutPreview();
}

void frmQuiltmap::LayoutPreview()
{
    if (!m_layoutReady)
        return;
    const QImage& map = m_maker->Picture().Map();
    const QWidget* client = centralWidget();
    const PreviewGeometry geometry = LayoutPreviewGeometry(
        client->width(), client->height(), m_previewLeft, picShow->y(), Frame1->x(),
        map.width(), map.height());
    picShow->setGeometry(qRound(geometry.Left), picShow->y(), qMax(geometry.Width, 2),
                         qMax(geometry.Height, 2));
    const QRect inside = picShow->contentsRect();
    m_maker->Picture().SetPreviewSize(inside.width(), inside.height());
    picShow->update();
    UpdateSizeCaption();
}

void frmQuiltmap::UpdateSizeCaption()
{
    const ListChoices choices = Choices();
    labCaption->setText(SizeCaptionText(choices.WidthIndex, choices.HeightIndex, choices.ScaleIndex));
    labCaption->adjustSize();
    labCaption->move((picShow->width() - labCaption->width()) / 2 + picShow->x(), labCaption->y());
}

void frmQuiltmap::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (isMinimized())
        return;
    // The smallest size is the outer one, frame included; Qt's minimum is the client's. A
    // maximised window's frame is not its normal one, so it is measured in the normal state.
    if (!(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
        const QSize minimum = QSize(MinimumWidth, MinimumHeight).shrunkBy(FrameMargins(this));
        if (minimumSize() != minimum)
            setMinimumSize(minimum);
    }
    const QWidget* client = centralWidget();
    Label7->setGeometry(Label7->x(), Label7->y(), Label7->width(),
                        qMax(0, client->height() - 2 * Label7->y()));
    LayoutPreview();
}

void frmQuiltmap::closeEvent(QCloseEvent* event)
{
    if (!m_shutDown) {
        m_shutDown = true;
        ContextIDs::CloseHelp();
        m_maker->StopAtExit();
        clsIni ini;
        SaveSettings(ini, Choices());
        m_windowPos.reset();   // stores the window's place
    }
    event->accept();
}

QLineEdit* frmQuiltmap::FocusedCoordinateField() const
{
    QWidget* focus = QApplication::focusWidget();
    return focus == txtLat || focus == txtLong ? static_cast<QLineEdit*>(focus) : nullptr;
}

bool frmQuiltmap::ValidateField(QLineEdit* field)
{
    if (m_validating)
        return true;
    m_validating = true;
    double value = 0;
    const bool valid = ParseCoordinate(*this, *m_prompter,
                                       field == txtLat ? Field::Latitude : Field::Longitude,
                                       field == txtLong, true, value);
    m_validating = false;
    return valid;
}

bool frmQuiltmap::eventFilter(QObject* watched, QEvent* event)
{
    auto* widget = qobject_cast<QWidget*>(watched);
    switch (event->type()) {
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (watched == txtLat || watched == txtLong) {
            auto* field = static_cast<QLineEdit*>(watched);
            if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)
                return !ValidateField(field);
            const QString text = key->text();
            // Keys without a character (arrows, Delete) and the control keys (Backspace, Enter,
            // Ctrl+A to Ctrl+M) are the field's own.
            if (text.isEmpty() || (text.size() == 1 && text[0].unicode() <= 13))
                return false;
            // Whatever else the key brings, with any modifier held, passes the field's filter.
            const QString kept = FilterArrivingText(text, field == txtLong);
            if (kept == text)
                return false;
            if (!kept.isEmpty())
                field->insert(kept);
            return true;
        }
        return false;
    }
    case QEvent::InputMethod:
        if (watched == txtLat || watched == txtLong) {
            auto* input = static_cast<QInputMethodEvent*>(event);
            const QString kept = FilterArrivingText(input->commitString(), watched == txtLong);
            if (kept == input->commitString())
                return false;
            // The same event with the commit filtered; it passes here unchanged the second time.
            QInputMethodEvent filtered(input->preeditString(), input->attributes());
            filtered.setCommitString(kept, input->replacementStart(), input->replacementLength());
            QCoreApplication::sendEvent(watched, &filtered);
            return true;
        }
        return false;
    case QEvent::FocusIn:
        if (watched == txtLat || watched == txtLong || watched == txtDesc) {
            // Queued, so that a click placing the caret comes first.
            QMetaObject::invokeMethod(static_cast<QLineEdit*>(watched), &QLineEdit::selectAll,
                                      Qt::QueuedConnection);
        }
        return false;
    case QEvent::MouseButtonPress: {
        // The window gives the focus on a press before the widget sees it, so look at the
        // press where it enters the window: one that would take the focus out of an invalid
        // coordinate field does not happen.
        if (watched != windowHandle())
            return false;
        QLineEdit* field = FocusedCoordinateField();
        QWidget* target = childAt(static_cast<QMouseEvent*>(event)->position().toPoint());
        if (!field || !target || target == field || m_validating || !target->isEnabled()
            || !(target->focusPolicy() & Qt::ClickFocus))
            return false;
        return !ValidateField(field);
    }
    case QEvent::Shortcut: {
        // Likewise an accelerator of another control (menus do not take the focus).
        QLineEdit* field = FocusedCoordinateField();
        if (!field || !widget || widget == field || widget->window() != this || m_validating
            || qobject_cast<QMenuBar*>(widget))
            return false;
        return !ValidateField(field);
    }
    default:
        return false;
    }
}

QLineEdit* frmQuiltmap::Edit(Field field) const
{
    switch (field) {
    case Field::Latitude: return txtLat;
    case Field::Longitude: return txtLong;
    case Field::Description: return txtDesc;
    }
    return txtDesc;
}

QString frmQuiltmap::FieldText(Field field) const
{
    return Edit(field)->text();
}

void frmQuiltmap::SetFieldText(Field field, const QString& text)
{
    Edit(field)->setText(text);
}

void frmQuiltmap::FocusField(Field field)
{
    Edit(field)->setFocus(Qt::OtherFocusReason);
}

ListChoices frmQuiltmap::Choices() const
{
    ListChoices choices;
    choices.ScaleIndex = int16_t(qMax(0, cmbScale->currentIndex()));
    choices.WidthIndex = int16_t(qMax(0, cmbWidth->currentIndex()));
    choices.HeightIndex = int16_t(qMax(0, cmbHeight->currentIndex()));
    choices.TypeIndex = int16_t(qMax(0, cmbType->currentIndex()));
    choices.ReferenceIsCentre = optCentre->isChecked();
    return choices;
}

void frmQuiltmap::EnableInputs(bool enabled)
{
    for (QWidget* control : std::initializer_list<QWidget*>{cmbScale, cmbWidth, cmbHeight, cmbType,
                                                            txtLat, txtLong, txtDesc, optCentre,
                                                            optCorner})
        control->setEnabled(enabled);
}

void frmQuiltmap::SetDownloadCaption(const QString& caption)
{
    cmdOk->setText(caption);
}

void frmQuiltmap::PreviewChanged()
{
    picShow->update();
}

void frmQuiltmap::ShowTransferStatus(const QString& text)
{
    m_statusLine.Transfer = text;
    ShowStatusLine();
}

void frmQuiltmap::ShowProgress(const QString& text)
{
    m_statusLine.Progress = text;
    m_statusLine.SecondsLeft = -1;
    // A download's end: the tile library has changed.
    if (text.isEmpty())
        UpdateFieldStatus();
    else
        ShowStatusLine();
}

void frmQuiltmap::ShowTimeLeft(int seconds)
{
    m_statusLine.SecondsLeft = seconds;
    ShowStatusLine();
}

void frmQuiltmap::SetBusyPointer(bool busy)
{
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}
