#pragma once

#include <functional>

#include <QDialog>

class QCheckBox;
class QLineEdit;

// "Grid Locator": a locator of 4, 6 or 8 characters and whether to fit the map to its square.
// OK hands both to `apply`, which puts them into the main window; the dialog closes only when
// it returns true (a refused locator keeps it open for correcting).
class frmGridLocator : public QDialog {
    Q_OBJECT
public:
    using Apply = std::function<bool(const QString& locator, bool fit)>;
    frmGridLocator(QWidget* parent, Apply apply);

    void accept() override;

private:
    Apply m_apply;
    QLineEdit* txtLocator = nullptr;
    QCheckBox* chkFit = nullptr;
};
