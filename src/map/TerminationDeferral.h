#pragma once

// While one lives, SIGINT and SIGTERM are held back: a set of files being put in place is
// completed first, then the signal takes its course as it would have (the process ends unless
// someone else handles it). Process-wide; nests and may be held by several threads at once.
class TerminationDeferral {
public:
    TerminationDeferral();
    ~TerminationDeferral();
    TerminationDeferral(const TerminationDeferral&) = delete;
    TerminationDeferral& operator=(const TerminationDeferral&) = delete;
};
