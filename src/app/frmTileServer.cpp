#include "frmTileServer.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "MapMaker.h"
#include "TileServerCheck.h"

namespace {

const QString DefaultServer = QStringLiteral("http://localhost:8421");

}  // namespace

frmTileServer::frmTileServer(QWidget* parent, const QString& stored, const QString& environment)
    : QDialog(parent), m_check(new TileServerCheck(this))
{
    setObjectName(QStringLiteral("frmTileServer"));
    setWindowTitle(QStringLiteral("Tile Server"));
    txtServer = new QLineEdit(ResolveTileServer(stored, QString()).toString(), this);
    txtServer->setObjectName(QStringLiteral("txtServer"));
    txtServer->setMinimumWidth(320);
    auto* note = new QLabel(
        QStringLiteral("Tiles are asked for at this address. With %1, Quiltmap starts its own tile server "
                       "there when nothing answers.").arg(DefaultServer), this);
    if (!environment.trimmed().isEmpty())
        note->setText(QStringLiteral("QUILTMAP_TILE_SERVER is set to %1: it is used instead of this "
                                     "setting while it is set.").arg(environment.trimmed()));
    note->setWordWrap(true);
    labResult = new QLabel(this);
    labResult->setObjectName(QStringLiteral("labResult"));
    labResult->setWordWrap(true);
    labResult->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    cmdTest = buttons->addButton(QStringLiteral("&Test"), QDialogButtonBox::ActionRole);
    cmdTest->setObjectName(QStringLiteral("cmdTest"));
    connect(cmdTest, &QPushButton::clicked, this, &frmTileServer::Test);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_check, &TileServerCheck::Finished, this, [this](bool, const QString& text) {
        labResult->setText(text);
        FitHeight();
        cmdTest->setEnabled(true);
    });

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Address:"), txtServer);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(note);
    layout->addWidget(labResult);
    layout->addWidget(buttons);
}

void frmTileServer::FitHeight()
{
    // Wrapped labels need the height their width gives them, which Qt's size hints leave out.
    layout()->activate();
    const int height = layout()->totalHeightForWidth(width());
    setMinimumHeight(height);
    if (this->height() < height)
        resize(width(), height);
}

void frmTileServer::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FitHeight();
}

QUrl frmTileServer::TypedUrl()
{
    const QUrl url = ResolveTileServer(txtServer->text(), QString());
    if (url.isValid() && !url.host().isEmpty() && (url.scheme() == u"http" || url.scheme() == u"https"))
        return url;
    labResult->setText(QStringLiteral("Give the server's base URL, such as %1.").arg(DefaultServer));
    FitHeight();
    txtServer->setFocus(Qt::OtherFocusReason);
    return QUrl();
}

void frmTileServer::Test()
{
    const QUrl url = TypedUrl();
    if (url.isEmpty())
        return;
    cmdTest->setEnabled(false);
    labResult->setText(QStringLiteral("Asking %1 for a tile...").arg(url.toDisplayString(QUrl::RemoveUserInfo)));
    m_check->Start(url);
}

QString frmTileServer::Setting() const
{
    const QString typed = txtServer->text().trimmed();
    return ResolveTileServer(typed, QString()) == QUrl(DefaultServer) ? QString() : typed;
}

void frmTileServer::accept()
{
    if (!TypedUrl().isEmpty())
        QDialog::accept();
}
