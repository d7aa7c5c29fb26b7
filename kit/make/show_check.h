#pragma once
// velkit check: looks at a show as the player finds it (loose files first,
// then the archives, through the player's own openFile) and tells what will
// go wrong when it plays.
#include <cstdio>
#include <string>
#include <vector>

struct CheckFinding {
    bool problem;      // true: the show will not play as authored; false: a warning
    std::string text;  // one line, without the "problem:"/"warning:" tag
};

struct CheckReport {
    std::vector<CheckFinding> findings;
    int pictures = 0;          // pictures the show plays before it ends
    double showSeconds = 0;    // 2.5 s + 6 s per picture
    double songSeconds = -1;   // the music's length; -1 without usable music
    std::vector<std::string> archives;  // the archives the player mounts there

    bool playsAsAuthored() const {
        for (const CheckFinding& finding : findings)
            if (finding.problem) return false;
        return true;
    }
};

// Checks the show of the working directory: mounts its archives as the
// player does (replacing any earlier mount) and opens every file by name.
CheckReport checkShowHere();

// Changes into `directory`, checks, and changes back. A directory that can't
// be entered is a problem of the report.
CheckReport checkShowIn(const std::string& directory);

// One line per finding, then the summary.
void printCheckReport(const CheckReport& report, FILE* out);

// "1:02.5" style minutes and seconds.
std::string formatDuration(double seconds);
