#pragma once

#include <QString>

// Every question or message the map logic shows goes through here. The main window answers
// with real message boxes (caption "Quiltmap"); tests answer by script and record what was asked.
// The texts are made by the map code; implementations show them unchanged.
class Prompter {
public:
    virtual ~Prompter() = default;

    // Yes/No question with a question icon; true for Yes.
    virtual bool AskYesNo(const QString& text) = 0;
    // OK/Cancel box with an information icon; true for OK.
    virtual bool AskOkCancel(const QString& text) = 0;
    // OK box with an information icon.
    virtual void Inform(const QString& text) = 0;
    // OK box with a warning icon: something failed and the user should know what and why.
    virtual void Warn(const QString& text) = 0;
    // Information box that counts down in its last line and closes itself after `seconds`
    // (the transfer-error box). Returns when the box has closed.
    virtual void InformTimed(const QString& message, int seconds) = 0;
};
