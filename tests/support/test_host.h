#pragma once
// Where a test program runs: inside the project's Wine harness (tools/run-tests: a throwaway
// prefix with its virtual desktop and nothing else running) or on another system, such as a
// user's Windows running the test kit; and whether it may write the per-machine registration.

#include <gtest/gtest.h>

#include <string>

// True inside tools/run-tests, which marks its runs with ZEZIZER_TEST_RUN.
bool underTestHarness();
// True when the process runs with administrator rights (an elevated token).
bool runsElevated();
// The Wine version when the programs run under Wine, else empty.
std::string wineVersion();
// True when what this process draws reaches a screen that takes the user's input: not in a
// service's hidden desktop, on a window station that is not visible, or while another desktop (a
// locked workstation's, a consent prompt's) has the input. The screen read back there is blank.
bool hasInteractiveDesktop();

// Skips the current test on other systems, with the reason.
#define SKIP_OUTSIDE_TEST_HARNESS(reason)                                                          \
    if (underTestHarness()) {                                                                      \
    } else                                                                                         \
        GTEST_SKIP() << "needs the Wine test harness: " << reason

// Skips the current test under Wine, which cannot show what it checks, with the reason.
#define SKIP_UNDER_WINE(reason)                                                                    \
    if (wineVersion().empty()) {                                                                   \
    } else                                                                                         \
        GTEST_SKIP() << "Wine cannot show it: " << reason

// Skips the current test without the rights to register the server for the whole machine.
#define SKIP_UNLESS_ELEVATED()                                                                     \
    if (runsElevated()) {                                                                          \
    } else                                                                                         \
        GTEST_SKIP() << "needs administrator rights: registers the server for the whole machine"

// Skips the current test where the screen that it reads back is not the one it draws on.
#define SKIP_WITHOUT_INTERACTIVE_DESKTOP()                                                         \
    if (hasInteractiveDesktop()) {                                                                 \
    } else                                                                                         \
        GTEST_SKIP() << "needs an interactive desktop: reads back what the screen shows"
