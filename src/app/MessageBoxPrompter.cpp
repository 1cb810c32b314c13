#include "MessageBoxPrompter.h"

#include <QMessageBox>

#include "TimedMsgBox.h"

namespace {

const QString Title = QStringLiteral("Quiltmap");

}  // namespace

MessageBoxPrompter::MessageBoxPrompter(QWidget* owner)
    : m_owner(owner)
{
}

bool MessageBoxPrompter::AskYesNo(const QString& text)
{
    return QMessageBox::question(m_owner, Title, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes)
           == QMessageBox::Yes;
}

bool MessageBoxPrompter::AskOkCancel(const QString& text)
{
    return QMessageBox::information(m_owner, Title, text, QMessageBox::Ok | QMessageBox::Cancel,
                                    QMessageBox::Ok)
           == QMessageBox::Ok;
}

void MessageBoxPrompter::Inform(const QString& text)
{
    QMessageBox::information(m_owner, Title, text);
}

void MessageBoxPrompter::Warn(const QString& text)
{
    QMessageBox::warning(m_owner, Title, text);
}

void MessageBoxPrompter::InformTimed(const QString& message, int seconds)
{
    // Information icon and OK (64); the count-down presses button 2, which a one-button box
    // answers with its OK.
    ShowTimedMsgBox(m_owner, message, 64, 2, Title, true, seconds,
                    QStringLiteral("\n\n(This message box will close in "),
                    QStringLiteral(" seconds.)"));
}
