#pragma once

#include <QString>

class QMessageBox;
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

// Button ids as the Windows message box reports them.
namespace TimedMsgBoxIds {
inline constexpr int Ok = 1;
inline constexpr int Cancel = 2;
inline constexpr int Abort = 3;
inline constexpr int Retry = 4;
inline constexpr int Ignore = 5;
inline constexpr int Yes = 6;
inline constexpr int No = 7;
}  // namespace TimedMsgBoxIds

// The box being shown, else nullptr (tests read its text and answer it).
QMessageBox* TimedMsgBoxWindow();

// Length of one count-down step in milliseconds, 1000 unless a test shortens it;
// 0 or less goes back to 1000.
void SetTimedMsgBoxTickInterval(int milliseconds);
