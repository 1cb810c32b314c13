#include "frmAbout.h"

#include "HyperLinkLabel.h"
#include "ProgramIcon.h"
#include "Version.h"
#include "clsMonitors.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVariant>

namespace {

const QString AppTitle = QStringLiteral("Quiltmap");
// The version information's file description; empty for this program.
const QString FileDescription;
const QString BuiltInAuthor = QStringLiteral("Written by the Quiltmap team");
const QString Comments = QStringLiteral(
    "UTM conversion after the Transverse Mercator formulas of John P. Snyder, "
    "Map Projections: A Working Manual, USGS Professional Paper 1395.");
const QString CopyrightAndUsage = QStringLiteral(
    "Copyright \u00A9 2026 the Quiltmap developers; MIT licence.\n"
    "Makes map pictures of areas of the United States from tiles drawn by its own tile server: "
    "aerial photographs and topographic maps of the USGS National Map (over the internet), "
    "GeoTIFFs of your own, or offline a map of shorelines, lakes and rivers.\n"
    "Saves each map with its calibration file where the Corvane32 station program finds it.");
const QString WebSite = QStringLiteral("https://www.corvane32.example/");

QFrame* Line(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QLabel* WrappedLabel(QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    return label;
}

}  // namespace

frmAbout::frmAbout(QWidget* parent)
    : QDialog(parent)
{
    labAppTitle = WrappedLabel(this);
    QFont titleFont = labAppTitle->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.4);
    labAppTitle->setFont(titleFont);
    labAuthor = WrappedLabel(this);
    labDesc = WrappedLabel(this);
    labCopyright = WrappedLabel(this);
    Label1 = WrappedLabel(this);
    Label1->setText(QStringLiteral("The main Corvane32 web site is:-"));
    SWBHyperLink1 = new HyperLinkLabel(WebSite, this);
    Picture1 = new QLabel(this);
    Picture1->setPixmap(ProgramIcon().pixmap(48, 48));
    Picture1->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    cmdOk = new QPushButton(QStringLiteral("&Ok"), this);
    cmdOk->setDefault(true);
    connect(cmdOk, &QPushButton::clicked, this, &QDialog::accept);

    auto* grid = new QGridLayout(this);
    grid->addWidget(Picture1, 0, 0, 4, 1);
    grid->addWidget(labAppTitle, 0, 1);
    grid->addWidget(labAuthor, 1, 1);
    grid->addWidget(Line(this), 2, 1);
    grid->addWidget(labDesc, 3, 1);
    grid->addWidget(labCopyright, 4, 1);
    grid->addWidget(Line(this), 5, 0, 1, 2);
    grid->addWidget(Label1, 6, 1);
    grid->addWidget(SWBHyperLink1, 7, 1);
    grid->addWidget(cmdOk, 8, 1, Qt::AlignRight);
    grid->setColumnStretch(1, 1);
    setMinimumWidth(440);
}

void frmAbout::setParentWindow(QWidget* owner)
{
    m_owner = owner;
}

void frmAbout::setStrAuthor(const QString& author)
{
    m_author = author;
}

QString frmAbout::AppTitleText()
{
    return AppTitle + QStringLiteral(" V") + QString::number(QuiltmapVersion::Major) + QStringLiteral(".")
           + QString::number(QuiltmapVersion::Minor) + QString::number(QuiltmapVersion::Revision)
           + FileDescription;
}

QPoint frmAbout::CentredOver(const QRect& owner, const QSize& box)
{
    return QPoint(MonitorGeometry::RoundWhole(owner.x() + (owner.width() - box.width()) / 2.0),
                  MonitorGeometry::RoundWhole(owner.y() + (owner.height() - box.height()) / 2.0));
}

void frmAbout::setVisible(bool visible)
{
    if (visible && !m_loaded) {
        m_loaded = true;
        LoadForm();
    }
    QDialog::setVisible(visible);
}

void frmAbout::LoadForm()
{
    // The texts go in first: the box's size, and so its place, depends on them.
    setWindowTitle(QStringLiteral("About ") + AppTitle);
    labAppTitle->setText(AppTitleText());
    labAuthor->setText(m_author.isEmpty() ? BuiltInAuthor : m_author);
    labDesc->setText(Comments);
    labCopyright->setText(CopyrightAndUsage);
    if (!testAttribute(Qt::WA_Resized))
        adjustSize();
    if (!m_owner)
        return;  // the platform's place
    if (!m_owner->isMinimized()) {
        // The box's frame is not known before it is shown; the owner's is a fair measure of it.
        QSize outer = frameGeometry().size();
        if (outer == size() && m_owner->isVisible())
            outer += m_owner->frameGeometry().size() - m_owner->size();
        move(CentredOver(m_owner->frameGeometry(), outer));
    }
    else if (gMonitors)
        gMonitors->CenterFormOnMonitor(this, m_owner);
    if (m_owner->property("blnTopMost").toBool()) {
        setWindowFlag(Qt::WindowStaysOnTopHint, true);
        m_topMost = true;
    }
}

void frmAbout::done(int result)
{
    QDialog::done(result);
    if (!m_topMost)
        return;
    // Hidden by now, so changing the flags does not show the box again.
    setWindowFlag(Qt::WindowStaysOnTopHint, false);
    m_topMost = false;
    if (m_owner)
        m_owner->setProperty("blnTopMost", true);
}
