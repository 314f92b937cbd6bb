#include "lumoeyes/timing.h"

#include "client/json_string.h"

#include <cstdio>

void MissedRefreshes::add(const FrameStatistics& reading) {
    if (!started_) {
        started_ = true;
        last_ = reading;
        return;
    }
    // The counters run on past 2^32 and start again at 0: their differences stay right.
    const uint32_t frames = reading.presentCount - last_.presentCount;
    const uint32_t elapsed = reading.presentRefreshCount - last_.presentRefreshCount;
    // Nothing new reached the screen yet; a refresh count that goes back (the display was
    // reset) or a frame count above the refreshes is no measurement: a new start.
    if (frames == 0 || static_cast<int32_t>(elapsed) < 0 || frames > elapsed) {
        if (frames != 0)
            last_ = reading;
        return;
    }
    last_ = reading;
    presented_ += frames;
    refreshes_ += elapsed;
    const uint32_t missedNow = elapsed - frames;
    if (missedNow == 0) {
        run_ += elapsed;
        return;
    }
    // Where in these refreshes the misses fell is not known: the run ends before them.
    missed_ += missedNow;
    if (run_ > longestRun_)
        longestRun_ = run_;
    run_ = 0;
}

void MissedRefreshes::restart() {
    started_ = false;
    if (run_ > longestRun_)
        longestRun_ = run_;
    run_ = 0;
}

TimingReport timingReport(const MissedRefreshes& counted, const std::string& presenter,
                          double refreshHz, double seconds, uint64_t presentCalls) {
    return {presenter,
            refreshHz,
            seconds,
            presentCalls,
            counted.presented(),
            counted.refreshes(),
            counted.missed(),
            counted.longestRunWithoutMiss()};
}

namespace {

// As long as the text needs: a reason may be long.
std::string formatted(const char* format, auto... values) {
    const int length = std::snprintf(nullptr, 0, format, values...);
    std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    std::snprintf(text.data(), text.size() + 1, format, values...);
    return text;
}

unsigned long long whole(uint64_t value) {
    return static_cast<unsigned long long>(value);
}

} // namespace

std::string timingText(const TimingReport& report) {
    std::string text = "presenter: " + report.presenter + "\n";
    text += formatted("refresh rate: %.0f Hz\n", report.refreshHz);
    text +=
        formatted("frames presented: %llu in %.0f s\n", whole(report.presented), report.seconds);
    text +=
        formatted("refreshes missed: %llu of %llu (each swaps the eyes until the next resync)\n",
                  whole(report.missed), whole(report.refreshes));
    text += formatted("longest run without a miss: %llu refreshes (%.1f s)\n",
                      whole(report.longestRunWithoutMiss),
                      report.refreshHz > 0 ? report.longestRunWithoutMiss / report.refreshHz : 0.0);
    if (report.refreshHz > 0 && report.refreshHz < flickerFreeHz)
        text += formatted("below 100 Hz page flip halves the rate for each eye (%.0f Hz) and "
                          "flickers.\n",
                          report.refreshHz / 2);
    return text;
}

std::string timingJson(const TimingReport& report) {
    return formatted("{\"presenter\":%s,\"refreshHz\":%.3f,\"seconds\":%.3f,\"presentCalls\":%llu,"
                     "\"presented\":%llu,"
                     "\"refreshes\":%llu,\"missed\":%llu,\"longestRunWithoutMiss\":%llu,"
                     "\"flickers\":%s}\n",
                     jsonString(report.presenter).c_str(), report.refreshHz, report.seconds,
                     whole(report.presentCalls), whole(report.presented), whole(report.refreshes),
                     whole(report.missed), whole(report.longestRunWithoutMiss),
                     jsonBool(report.refreshHz > 0 && report.refreshHz < flickerFreeHz));
}

std::string noStatisticsText(const std::string& why) {
    return "lumoeyes: this system does not report frame statistics: " + why + "\n";
}

std::string noStatisticsJson(const std::string& why, const std::string& presenter, double seconds,
                             uint64_t presentCalls) {
    return formatted("{\"statistics\":false,\"reason\":%s,\"presenter\":%s,\"seconds\":%.3f,"
                     "\"presentCalls\":%llu}\n",
                     jsonString(why).c_str(),
                     presenter.empty() ? "null" : jsonString(presenter).c_str(), seconds,
                     whole(presentCalls));
}

int timingExitCode(const TimingReport& report) {
    return report.missed ? 1 : 0;
}

std::wstring missedLine(uint64_t missed, double seconds) {
    wchar_t text[128];
    std::swprintf(text, sizeof(text) / sizeof(text[0]),
                  L"missed refreshes: %llu in %.0f s (each swaps the eyes until the next resync)",
                  whole(missed), seconds);
    return text;
}
