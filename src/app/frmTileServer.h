#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;
class TileServerCheck;

// "Tile Server": the base URL tiles are asked from, with a "Test" that fetches one tile.
// Setting() is what to store (empty: the default server).
class frmTileServer : public QDialog {
    Q_OBJECT
public:
    // stored: the settings file's value; environment: QUILTMAP_TILE_SERVER, which wins while set.
    frmTileServer(QWidget* parent, const QString& stored, const QString& environment);

    QString Setting() const;
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FitHeight();
    void Test();
    // The URL typed, or an empty one (after saying why) when it is none.
    QUrl TypedUrl();

    QLineEdit* txtServer = nullptr;
    QPushButton* cmdTest = nullptr;
    QLabel* labResult = nullptr;
    TileServerCheck* m_check = nullptr;
};
