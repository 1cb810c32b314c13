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

bool MessageBoxPrompter::Ask(Question question, const QString& text)
{
    const QuestionKind kind = KindOf(question);
    const QMessageBox::StandardButton yes = kind.OkCancel ? QMessageBox::Ok : QMessageBox::Yes;
    const QMessageBox::StandardButton no = kind.OkCancel ? QMessageBox::Cancel : QMessageBox::No;
    const QMessageBox::StandardButton preset = kind.DefaultAnswer ? yes : no;
    if (kind.OkCancel)
        return QMessageBox::information(m_owner, Title, text, yes | no, preset) == yes;
    return QMessageBox::question(m_owner, Title, text, yes | no, preset) == yes;
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
