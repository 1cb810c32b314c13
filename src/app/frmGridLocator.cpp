#include "frmGridLocator.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

frmGridLocator::frmGridLocator(QWidget* parent, Apply apply)
    : QDialog(parent), m_apply(std::move(apply))
{
    setObjectName(QStringLiteral("frmGridLocator"));
    setWindowTitle(QStringLiteral("Grid Locator"));
    txtLocator = new QLineEdit(this);
    txtLocator->setObjectName(QStringLiteral("txtLocator"));
    txtLocator->setMaxLength(8);
    txtLocator->setPlaceholderText(QStringLiteral("CN87uo"));
    chkFit = new QCheckBox(QStringLiteral("Fit the map to the square"), this);
    chkFit->setObjectName(QStringLiteral("chkFit"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Locator:"), txtLocator);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(chkFit);
    layout->addWidget(buttons);
}

void frmGridLocator::accept()
{
    if (m_apply(txtLocator->text(), chkFit->isChecked()))
        QDialog::accept();
    else
        txtLocator->setFocus(Qt::OtherFocusReason);
}
