#pragma once

#include <QString>

// The link to the Corvane32 station program. Corvane32 is a Windows program and runs here under
// Wine, so its per-user settings live in the registry of the user's Wine prefix (user.reg, text).

// $WINEPREFIX, else ~/.wine.
QString WinePrefix();

// The value of `valueName` under registry key `key` (as written in user.reg's section names,
// with single backslashes, e.g. "Software\\Wendrel Systems") read from a user.reg file.
// Key and value names match without regard to case. False when the file, key or value is missing.
bool ReadRegistryValue(const QString& userRegFile, const QString& key, const QString& valueName,
                       QString& value);

// A Windows path as the Unix path Wine maps it to: the drive letter through the prefix's
// dosdevices links (C: falls back to drive_c). Empty when the path has no drive letter.
QString WindowsPathToUnix(const QString& prefix, const QString& windowsPath);

// The host program's folder from the Wine registry, ending in "/"; false when not found.
bool FindHostFolder(const QString& prefix, QString& hostFolder);

// How the host sees this program: the Unix path through Wine's Z: drive with backslashes,
// quoted when it holds a blank.
QString HostCommandLine(const QString& executablePath);

// The four lines of the host's tool-entry file, each ended by CR LF.
QByteArray ToolEntryText(const QString& title, const QString& executablePath);

// Writes hostFolder + executable base name + ".XTR" unless it exists. Failures are silent:
// the next start tries again.
void AddToHostTools(const QString& hostFolder, const QString& title, const QString& executablePath);
