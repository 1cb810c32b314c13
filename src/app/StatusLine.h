#pragma once

#include <optional>

#include <QString>

#include "MapCost.h"

// Everything the main window's status line can tell; the window keeps one, changes a part and
// lays the whole out again with LayOutStatusLine.
struct StatusLineState {
    QString Transfer;             // the transfer's last word ("Request sent", "All 25 tiles done.")
    QString Progress;             // "tile 7 of 25" while a download runs, else empty
    int SecondsLeft = -1;         // the running download's estimate; -1 none yet
    std::optional<MapCost> Cost;  // what the fields' map would cost; none when they make no map
    QString Locator;              // the reference point's locator ("CN87uo"), or empty
};

// The texts of the status line's parts, left to right.
struct StatusLineTexts {
    QString Message;   // takes the room that is left
    QString Work;      // the download's progress, else what the fields' map would cost
    QString Locator;
};

StatusLineTexts LayOutStatusLine(const StatusLineState& state);
