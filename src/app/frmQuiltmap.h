#pragma once

#include <memory>

#include <QFrame>
#include <QImage>
#include <QMainWindow>

#include "MapForm.h"
#include "Prompter.h"
#include "StatusLine.h"

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class MapMaker;
class clsWindowPos;

// The preview: paints the map's scaled copy inside a single-line border.
class PreviewBox : public QFrame {
public:
    explicit PreviewBox(QWidget* parent);
    void SetImage(const QImage* image) { m_image = image; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const QImage* m_image = nullptr;
};

// The main window: the inputs, the preview, the menus and the state the map work shares.
// Controls carry their names as object names (txtLat, cmbScale, cmdOk, ...).
class frmQuiltmap : public QMainWindow, public MapForm {
    Q_OBJECT
public:
    // prompter: where questions and messages go; null for real message boxes.
    explicit frmQuiltmap(Prompter* prompter = nullptr);
    ~frmQuiltmap() override;

    // Start-up. False when the program cannot work (the user has been told); it should end.
    bool Load();

    MapMaker& Maker() { return *m_maker; }
    // OK of the "Grid Locator" dialog: the square's centre or corner into the fields (and, with
    // fit, the lists); false, after saying why, for a locator the fields cannot take.
    bool ApplyGridLocator(const QString& locator, bool fit);
    QString HostFolder() const { return m_hostFolder; }

    // MapForm
    QString FieldText(Field field) const override;
    void SetFieldText(Field field, const QString& text) override;
    void FocusField(Field field) override;
    ListChoices Choices() const override;
    void EnableInputs(bool enabled) override;
    void SetDownloadCaption(const QString& caption) override;
    void PreviewChanged() override;
    void ShowTransferStatus(const QString& text) override;
    void ShowProgress(const QString& text) override;
    void ShowTimeLeft(int seconds) override;
    void SetBusyPointer(bool busy) override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void CreateMenus();
    void SetOptionTabStops();
    void FillLists();
    void FitCaptions();
    void ApplyStoredSettings();
    void FirstStartCheck();
    void SizeMapPicture();
    void LayoutPreview();
    void UpdateSizeCaption();
    void FileNameOptionClicked(int index);
    void ShowAbout();
    void ShowGridLocator();
    void GisFilesClicked(bool checked);
    // The status line's locator of the reference point and what its map would cost, when both
    // fields hold valid values (the cost not while a download runs).
    void UpdateFieldStatus();
    // The status line laid out anew from m_statusLine.
    void ShowStatusLine();
    // The check made when the focus is about to leave a coordinate field; false keeps it there.
    bool ValidateField(QLineEdit* field);
    QLineEdit* FocusedCoordinateField() const;
    QLineEdit* Edit(Field field) const;
    int TwipsX(int twips) const;
    int TwipsY(int twips) const;
    void Place(QWidget* widget, int left, int top, int width, int height);

    std::unique_ptr<Prompter> m_ownPrompter;
    Prompter* m_prompter;
    MapMaker* m_maker = nullptr;
    std::unique_ptr<clsWindowPos> m_windowPos;

    QGroupBox* Frame1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QFrame* Label7 = nullptr;
    QLabel* Label8 = nullptr;
    QLineEdit* txtLat = nullptr;
    QLineEdit* txtLong = nullptr;
    QLineEdit* txtDesc = nullptr;
    QRadioButton* optCentre = nullptr;
    QRadioButton* optCorner = nullptr;
    QComboBox* cmbScale = nullptr;
    QComboBox* cmbType = nullptr;
    QComboBox* cmbWidth = nullptr;
    QComboBox* cmbHeight = nullptr;
    QPushButton* cmdOk = nullptr;
    QLabel* labCaption = nullptr;
    PreviewBox* picShow = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_progress = nullptr;
    QAction* mnuFileNameOpt[2] = {nullptr, nullptr};
    QAction* mnuGisFiles = nullptr;
    QAction* mnuGridSquares = nullptr;
    QLabel* m_locator = nullptr;
    StatusLineState m_statusLine;

    QString m_hostFolder;
    int m_previewLeft = 0;      // picShow's design left edge, pixels
    bool m_layoutReady = false;
    bool m_validating = false;
    bool m_shutDown = false;
    double m_twipsPerPixelX = 15;
    double m_twipsPerPixelY = 15;
};
