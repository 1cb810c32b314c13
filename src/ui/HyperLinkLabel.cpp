#include "HyperLinkLabel.h"

#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>

HyperLinkLabel::HyperLinkLabel(const QString& address, QWidget* parent)
    : QLabel(address, parent)
    , m_url(address)
{
    setTextFormat(Qt::PlainText);
    QFont linkFont(QStringLiteral("Arial"));
    linkFont.setPointSizeF(9.75);
    linkFont.setBold(true);
    setFont(linkFont);
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, Qt::blue);
    setPalette(colours);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setToolTip(address);
}

void HyperLinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        OpenLink();
    QLabel::mouseReleaseEvent(event);
}

void HyperLinkLabel::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        OpenLink();
        return;
    }
    QLabel::keyPressEvent(event);
}

void HyperLinkLabel::OpenLink()
{
    // The browser's answer is not ours to judge; a failure opens nothing.
    QDesktopServices::openUrl(m_url);
}
