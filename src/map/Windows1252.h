#pragma once

#include <QByteArray>
#include <QString>

// Text in the host program's code page, Windows-1252. A character it cannot hold becomes "?".
QByteArray EncodeWindows1252(const QString& text);
