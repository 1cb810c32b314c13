#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>

class HyperLinkLabel;
class QLabel;
class QPushButton;

// The About box: title and version, author, credits, usage lines and the Corvane32 web site.
// With an owner it opens centred over it (on the owner's monitor when the owner is minimised)
// and stays on top while the owner's "blnTopMost" property is true.
class frmAbout : public QDialog {
public:
    explicit frmAbout(QWidget* parent = nullptr);

    // The owner window; the Qt parent is left alone.
    void setParentWindow(QWidget* owner);
    void setStrAuthor(const QString& author);

    void setVisible(bool visible) override;
    void done(int result) override;

    // "Quiltmap V" + major + "." + minor + revision + file description.
    static QString AppTitleText();
    // Left and top (pixels) that centre a box of that outer size over the owner's outer rectangle.
    static QPoint CentredOver(const QRect& owner, const QSize& box);

    QLabel* labAppTitle = nullptr;
    QLabel* labAuthor = nullptr;
    QLabel* labDesc = nullptr;
    QLabel* labCopyright = nullptr;
    QLabel* Label1 = nullptr;
    HyperLinkLabel* SWBHyperLink1 = nullptr;
    QLabel* Picture1 = nullptr;
    QPushButton* cmdOk = nullptr;

private:
    void LoadForm();

    QPointer<QWidget> m_owner;
    QString m_author;
    bool m_topMost = false;
    bool m_loaded = false;
};
