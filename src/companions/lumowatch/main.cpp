// lumowatch: tells the owner of the glasses which display codes reached the screen, when, for how
// long and how well. Reads the top rows of the primary screen every few milliseconds. With --check
// it says instead whether anything on this machine would keep a code from reaching the box.

#include "lumowatch/check_system.h"
#include "lumowatch/options.h"
#include "lumowatch/report.h"
#include "lumowatch/screen_top.h"
#include "lumowatch/sightings.h"

#include <windows.h>

#include <mmsystem.h>

#include <fcntl.h>
#include <io.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <span>

namespace {

constexpr int exitTimeUp = 0;
constexpr int exitUsage = 2;
constexpr int exitUnknownCommand = -1;
constexpr DWORD pollIntervalMs = 5;
constexpr UINT timerResolutionMs = 1;

std::atomic<bool> stopRequested{false};

// Ctrl+C and Ctrl+Break end the watch like its timeout, so a code still on screen is told.
BOOL WINAPI onConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    stopRequested = true;
    return TRUE;
}

void printLine(const Sighting& sighting, bool json) {
    const std::string line = json ? jsonLine(sighting) : textLine(sighting);
    std::fprintf(stdout, "%s\n", line.c_str());
    std::fflush(stdout);
}

void tellStderr(const char* text) {
    std::fprintf(stderr, "lumowatch: %s\n", text);
    std::fflush(stderr);
}

class Clock {
  public:
    int64_t elapsedMs() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - start_)
            .count();
    }

  private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// Windows sleeps at least a whole clock tick (about 15.6 ms by default): the poll interval needs a
// finer tick for as long as the watch lasts, and only that long.
class FineTimerResolution {
  public:
    FineTimerResolution() : raised_(timeBeginPeriod(timerResolutionMs) == TIMERR_NOERROR) {}
    ~FineTimerResolution() {
        if (raised_)
            timeEndPeriod(timerResolutionMs);
    }
    FineTimerResolution(const FineTimerResolution&) = delete;
    FineTimerResolution& operator=(const FineTimerResolution&) = delete;

  private:
    bool raised_;
};

// Says on stderr when the screen can be read and when it cannot, once each time that changes.
class ReadableNotice {
  public:
    void update(bool readable) {
        if (readable == readable_)
            return;
        readable_ = readable;
        if (!readable) {
            tellStderr("cannot read the screen; trying on");
        } else if (firstTime_) {
            tellStderr("ready, watching the top rows of the primary screen");
        } else {
            tellStderr("reading the screen again");
        }
        firstTime_ = firstTime_ && !readable;
    }

  private:
    std::optional<bool> readable_;
    bool firstTime_ = true;
};

int watch(const WatchOptions& options) {
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
    const FineTimerResolution resolution;
    const Clock clock;
    ScreenTop screen;
    CodeTracker tracker;
    ReadableNotice notice;
    for (;;) {
        const bool readable = screen.read();
        const int64_t nowMs = clock.elapsedMs();
        notice.update(readable);
        if (readable) {
            const std::optional<Sighting> ended =
                tracker.observe(nowMs, decodeDisplayCode(screen.pixels(), screen.width()));
            if (ended)
                printLine(*ended, options.json);
            if (ended && options.once)
                return ended->command == unknownCommand ? exitUnknownCommand : ended->command;
        }
        if (stopRequested || (options.timeoutMs && nowMs >= *options.timeoutMs)) {
            if (const std::optional<Sighting> open = tracker.stop(nowMs))
                printLine(*open, options.json);
            return exitTimeUp;
        }
        Sleep(pollIntervalMs);
    }
}

} // namespace

int main(int argc, char** argv) {
    // Lines end in a bare line feed, the same in a file, a pipe and under Wine.
    _setmode(_fileno(stdout), _O_BINARY);
    WatchOptions options;
    std::string problem;
    const std::span<char* const> arguments(argv, static_cast<size_t>(argc));
    if (!parseOptions(arguments.subspan(arguments.empty() ? 0 : 1), options, problem)) {
        std::fprintf(stderr, "lumowatch: %s\n\n%s", problem.c_str(), usageText);
        return exitUsage;
    }
    if (options.help) {
        std::fputs(usageText, stdout);
        return EXIT_SUCCESS;
    }
    if (options.check)
        return runCheck(options.json);
    return watch(options);
}
