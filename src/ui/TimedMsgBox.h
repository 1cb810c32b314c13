#pragma once

#include <QString>

class QWidget;

// A modal message box that closes itself: with showCountdown its text ends in
// before + seconds left + after, rewritten every second; after `seconds` the button with
// buttonId is pressed for the user. seconds 0 becomes 5, and the caller's variable gets the 5.
// style: the Windows message-box flags used by the callers (64: information icon, OK button).
// buttonId: 1 OK, 2 Cancel (the OK of a one-button box answers both).
// Returns the id of the button pressed, by the user or by the count-down.
int ShowTimedMsgBox(QWidget* form, const QString& message, int style, int buttonId,
                    const QString& title, bool showCountdown, int& seconds,
                    const QString& before, const QString& after);
