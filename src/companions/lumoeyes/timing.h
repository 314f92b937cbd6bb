#pragma once
// How often this PC would swap the eyes in page flip: the refreshes in which no new frame came,
// counted from a swap chain's frame statistics, and the report of a measurement. Pure: the
// statistics come in as readings.

#include <cstdint>
#include <string>

// One reading of a swap chain's frame statistics (DXGI_FRAME_STATISTICS, D3DPRESENTSTATS).
struct FrameStatistics {
    // Presents that have reached the screen.
    uint32_t presentCount;
    // The refresh at which the last of them reached the screen.
    uint32_t presentRefreshCount;
};

// Readings taken in turn, one a frame or so. Between two readings each present shows for one
// refresh: a refresh more than the presents is a refresh without a new frame, in which the eye
// that saw the last frame sees it again, and the eyes stay swapped until the next resync.
class MissedRefreshes {
  public:
    void add(const FrameStatistics& reading);
    // The next reading is a new start: the counts before it do not lead on to it (the display
    // changed). The run so far ends there.
    void restart();

    uint64_t presented() const { return presented_; }
    uint64_t refreshes() const { return refreshes_; }
    uint64_t missed() const { return missed_; }
    // The most refreshes in a row that each had a new frame.
    uint64_t longestRunWithoutMiss() const { return longestRun_ > run_ ? longestRun_ : run_; }

  private:
    bool started_ = false;
    FrameStatistics last_{};
    uint64_t presented_ = 0;
    uint64_t refreshes_ = 0;
    uint64_t missed_ = 0;
    uint64_t run_ = 0;
    uint64_t longestRun_ = 0;
};

struct TimingReport {
    // What presented the frames: "DXGI flip model", "Direct3D 9Ex".
    std::string presenter;
    double refreshHz;
    double seconds;
    // Presents the program made, whether or not the statistics tell of them.
    uint64_t presentCalls;
    uint64_t presented;
    uint64_t refreshes;
    uint64_t missed;
    uint64_t longestRunWithoutMiss;
};

TimingReport timingReport(const MissedRefreshes& counted, const std::string& presenter,
                          double refreshHz, double seconds, uint64_t presentCalls);

// Below this rate page flip's half for each eye flickers.
inline constexpr double flickerFreeHz = 100.0;

// The report for a person, every line ended, and for a script, one JSON object on one line.
std::string timingText(const TimingReport& report);
std::string timingJson(const TimingReport& report);
// The one line of a system that reports no frame statistics, and its JSON; the presenter that
// presented the frames, or none where none started.
std::string noStatisticsText(const std::string& why);
std::string noStatisticsJson(const std::string& why, const std::string& presenter, double seconds,
                             uint64_t presentCalls);

// 0 when no refresh was missed, 1 when some were.
int timingExitCode(const TimingReport& report);

// The live line of the page-flip picture.
std::wstring missedLine(uint64_t missed, double seconds);
