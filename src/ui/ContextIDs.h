#pragma once

#include <cstdint>

#include <QString>

class QWidget;

// The program's help: an HTML guide beside the program, shown in a help window of its own.
namespace ContextIDs {

inline constexpr int32_t MainTopic = 10;

// The folder that holds the help: the executable's own folder when the help lies there (a build
// folder, a copied program), else the installed data folder when it lies there, else the
// executable's folder, so that the missing file is reported where it was first looked for.
QString FindHelpFolder(const QString& executableFolder);
// Remembers the owner and sets the help file: folder + "/Quiltmap.html" (no second separator
// when the folder, blanks trimmed, already ends in one).
void InitHelp(QWidget* owner, const QString& programFolder);
QString HelpFile();
// Opens (or raises) the help window at the topic with that context number.
void ShowHelpContext(int32_t contextNumber);
// Closes the help window.
void CloseHelp();
// The help window while it is open, else nullptr (for tests).
QWidget* HelpWindow();

}  // namespace ContextIDs
