#pragma once

#include <functional>

#include <QString>
#include <QStringList>

// quiltmap-make: the window's map, made from the command line with the window's own map code.

// Exit statuses.
enum MakeExit : int {
    MakeOk = 0,              // map saved; its picture's path on standard output
    MakeFailed = 1,          // a folder, the picture or its files could not be written
    MakeBadArguments = 2,    // message and usage on standard error
    MakeMapExists = 3,       // a map of that name exists and --overwrite was not given
    MakeTilesMissing = 4,    // map saved, but some tiles could not be had
    MakeNotFetched = 5,      // no map saved: no tile could be had, fetching stopped after failures
                             // alike, or tiles missing and a map of that name kept
};

// Where the program's texts go. Err is written in pieces; line ends are in the texts.
struct MakeOutput {
    std::function<void(const QString&)> Out;
    std::function<void(const QString&)> Err;
    bool ErrIsTerminal = false;   // progress as a one-line bar instead of a line per tile
};

// The usage text of --help.
QString MakeUsage();

// Runs the program on its arguments (without the program name) inside a running Qt event loop's
// thread; returns the exit status.
int RunQuiltmapMake(const QStringList& arguments, const MakeOutput& output);
