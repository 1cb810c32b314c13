#pragma once

#include <QIcon>

// The program's icon (the one installed for the desktop menu), drawn at the usual sizes.
QIcon ProgramIcon();
