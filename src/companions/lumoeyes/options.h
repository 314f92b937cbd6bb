#pragma once
// lumoeyes' command line.

#include "code/controller_state.h"

#include <optional>
#include <string>
#include <vector>

enum ExitCode : int {
    ExitDone = 0,
    ExitMissed = 1,
    ExitUsage = 2,
    ExitCannotRun = 3,
};

struct Options {
    bool help = false;
    // Nothing: the controller's stored mode.
    std::optional<StereoMode> mode;
    // --timing SECONDS: page flip measured without a question, then a report.
    int timingSeconds = 0;
    bool json = false;
};

inline constexpr int maxTimingSeconds = 3600;

extern const char usageText[];

// The words after the program's name; nothing for a command line that means nothing.
std::optional<Options> parseOptions(const std::vector<std::wstring>& words);
