#pragma once

#include <QLabel>
#include <QUrl>

// A label that shows a web address and opens it in the browser when clicked (or when Space or
// Enter is pressed while it has the focus).
class HyperLinkLabel : public QLabel {
public:
    explicit HyperLinkLabel(const QString& address, QWidget* parent = nullptr);
    QUrl Url() const { return m_url; }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OpenLink();
    QUrl m_url;
};
