// lumoeyes' page-flip timing from faked frame statistics: the refreshes without a new frame, the
// longest run without one, the report and its exit code; and what lumoeyes --timing says of the
// system it runs on.

#include "lumoeyes/timing.h"
#include "support/child_process.h"
#include "support/controller_process.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <optional>

namespace {

MissedRefreshes counted(std::initializer_list<FrameStatistics> readings) {
    MissedRefreshes result;
    for (const FrameStatistics& reading : readings)
        result.add(reading);
    return result;
}

TEST(PageFlipTiming, RefreshesWithoutANewFrameAreMissedAndEndTheRun) {
    // 10 frames in 10 refreshes, then 5 in 7 (2 missed), then 20 in 20, a reading with nothing
    // new between them.
    const MissedRefreshes result =
        counted({{100, 500}, {110, 510}, {115, 517}, {115, 517}, {135, 537}});
    EXPECT_EQ(result.presented(), 35u);
    EXPECT_EQ(result.refreshes(), 37u);
    EXPECT_EQ(result.missed(), 2u);
    EXPECT_EQ(result.longestRunWithoutMiss(), 20u);
}

TEST(PageFlipTiming, CountersThatWrapAroundStillCount) {
    const MissedRefreshes result = counted({{0xFFFFFFF0u, 0xFFFFFFFEu}, {0x10u, 0x1Fu}});
    EXPECT_EQ(result.presented(), 0x20u);
    EXPECT_EQ(result.refreshes(), 0x21u);
    EXPECT_EQ(result.missed(), 1u);
}

TEST(PageFlipTiming, ADisplayResetIsANewStartNotAMiss) {
    // The refresh count goes back: no refreshes counted across it.
    const MissedRefreshes result = counted({{10, 1000}, {20, 1010}, {30, 5}, {40, 15}});
    EXPECT_EQ(result.presented(), 20u);
    EXPECT_EQ(result.missed(), 0u);
}

TEST(PageFlipTiming, ReadingsAfterARestartDoNotFollowOnFromThoseBefore) {
    // The display changed between 20 and 1000 frames: the jump is neither frames nor misses.
    MissedRefreshes result = counted({{10, 100}, {20, 110}});
    result.restart();
    result.add({1000, 5000});
    result.add({1010, 5012});
    EXPECT_EQ(result.presented(), 20u);
    EXPECT_EQ(result.refreshes(), 22u);
    EXPECT_EQ(result.missed(), 2u);
    EXPECT_EQ(result.longestRunWithoutMiss(), 10u);
}

TEST(PageFlipTiming, AReasonOfAnyLengthKeepsItsJsonWhole) {
    const std::string why(600, 'x');
    const std::string json = noStatisticsJson(why, {}, 2, 7);
    EXPECT_NE(json.find(why + "\",\"presenter\":null,\"seconds\":2.000,\"presentCalls\":7}\n"),
              std::string::npos)
        << json;
}

TEST(PageFlipTiming, TheReportTellsTheMissesTheFlickerAndTheExitCode) {
    const TimingReport report = timingReport(counted({{0, 0}, {100, 100}, {150, 152}, {250, 252}}),
                                             "DXGI flip model", 60, 5, 260);
    EXPECT_EQ(timingExitCode(report), 1);
    const std::string text = timingText(report);
    EXPECT_EQ(text.rfind("presenter: DXGI flip model\n", 0), 0u) << text;
    EXPECT_NE(text.find("refreshes missed: 2 of 252"), std::string::npos) << text;
    EXPECT_NE(text.find("longest run without a miss: 100 refreshes"), std::string::npos) << text;
    EXPECT_NE(text.find("below 100 Hz page flip halves the rate for each eye (30 Hz)"),
              std::string::npos)
        << text;
    EXPECT_EQ(
        timingJson(report),
        "{\"presenter\":\"DXGI flip "
        "model\",\"refreshHz\":60.000,\"seconds\":5.000,\"presentCalls\":260,\"presented\":250,"
        "\"refreshes\":252,"
        "\"missed\":2,\"longestRunWithoutMiss\":100,\"flickers\":true}\n");
    const TimingReport steady =
        timingReport(counted({{0, 0}, {600, 600}}), "Direct3D 9Ex", 120, 5, 600);
    EXPECT_EQ(timingExitCode(steady), 0);
    EXPECT_EQ(timingText(steady).find("flickers"), std::string::npos);
}

// Frame pacing at a real refresh is for Windows to show (Wine's screen has no vertical blank and
// its swap chains no statistics): the report is recorded in the results for a reader.
TEST(PageFlipTiming, AMeasurementOfFiveSecondsEndsWithItsReport) {
    ChildProcess timing(
        commandLineOf(testProgramFolder() + "..\\lumoeyes.exe", "--timing 5 --json"));
    ASSERT_TRUE(timing.started());
    const std::optional<DWORD> exitCode = timing.waitForExit(120000);
    ASSERT_TRUE(exitCode) << "lumoeyes --timing 5 did not end";
    const std::string report = timing.output();
    RecordProperty("report", report);
    std::printf("lumoeyes --timing 5 --json: exit code %lu\n%s", *exitCode, report.c_str());
    EXPECT_TRUE(*exitCode == 0 || *exitCode == 1 || *exitCode == 3) << *exitCode;
    EXPECT_EQ(report.rfind("{", 0), 0u) << report;
    EXPECT_NE(report.find("\"presentCalls\":"), std::string::npos) << report;
    EXPECT_NE(report.find("\"presenter\":\""), std::string::npos) << report;
}

} // namespace
