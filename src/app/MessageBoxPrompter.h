#pragma once

#include "Prompter.h"

class QWidget;

// Questions and messages as real message boxes over the main window, captioned "Quiltmap".
class MessageBoxPrompter : public Prompter {
public:
    explicit MessageBoxPrompter(QWidget* owner);

    bool Ask(Question question, const QString& text) override;
    void Inform(const QString& text) override;
    void Warn(const QString& text) override;
    void InformTimed(const QString& message, int seconds) override;

private:
    QWidget* m_owner;
};
