// lumowatch started as a process of its own, watching the real screen while this test shows code
// windows on it.

#include "client/json_string.h"
#include "code/code_window.h"
#include "code/controller_state.h"
#include "lumowatch/check_verdict.h"
#include "support/code_on_screen.h"
#include "support/child_process.h"
#include "support/controller_process.h"
#include "support/fresh_controller.h"
#include "support/wait.h"
#include "support/windows.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <regex>
#include <string>
#include <vector>

namespace {

constexpr DWORD startsWithinMs = 30000;
constexpr DWORD exitsWithinMs = 15000;

// lumowatch started with the arguments.
class Lumowatch : public ChildProcess {
  public:
    explicit Lumowatch(const std::string& arguments)
        : ChildProcess(commandLineOf(testProgramFolder() + "..\\lumowatch.exe", arguments)) {}

    // Until it says on stderr that it watches the screen (or ends without saying so).
    bool waitUntilReady() const {
        return waitUntil([&] { return errors().find("ready") != std::string::npos || !running(); },
                         startsWithinMs) &&
               running();
    }
    std::optional<DWORD> waitForExit() { return ChildProcess::waitForExit(exitsWithinMs); }
};

int64_t numberAfter(const std::string& line, const std::string& key) {
    std::smatch match;
    if (!std::regex_search(line, match, std::regex("\"" + key + "\":(-?[0-9]+)")))
        return -1;
    return std::stoll(match[1]);
}

// A window over some columns of the top of the screen, as a toolbar of another program. The code
// window raises itself above every always-on-top window when it paints: the overlay is owned by
// it, and an owned window stays above its owner.
class Overlay {
  public:
    Overlay(HWND codeWindow, int fromX, int toX, int height)
        : window_(CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, "STATIC", "", WS_POPUP, fromX,
                                  0, toX - fromX, height, codeWindow, nullptr, nullptr, nullptr)) {
        ShowWindow(window_, SW_SHOWNOACTIVATE);
        UpdateWindow(window_);
    }
    ~Overlay() { DestroyWindow(window_); }
    Overlay(const Overlay&) = delete;
    Overlay& operator=(const Overlay&) = delete;

    bool shown() const { return window_ && IsWindowVisible(window_); }

  private:
    HWND window_;
};

class LumowatchOnScreen : public testing::Test {
  protected:
    void SetUp() override {
        startFreshController();
        ASSERT_TRUE(codeWindowsGone());
    }
    void TearDown() override { EXPECT_TRUE(codeWindowsGone()); }
    static void showCode(int32_t command) {
        controller.currentCode = command;
        ASSERT_EQ(openCodeWindow(), 1);
    }
};

TEST_F(LumowatchOnScreen, ReportsACodeWindowAsExactWithItsCommandAndHowLongItStayed) {
    Lumowatch watch("--once --json --timeout 5000");
    ASSERT_TRUE(watch.started());
    ASSERT_TRUE(watch.waitUntilReady()) << watch.errors();

    showCode(StereoReverse);

    const std::optional<DWORD> exitCode = watch.waitForExit();
    ASSERT_TRUE(exitCode);
    const std::string output = watch.output();
    std::printf("lumowatch printed: %s", output.c_str());
    EXPECT_EQ(exitCode, static_cast<DWORD>(StereoReverse));
    ASSERT_EQ(output.find('\n'), output.size() - 1) << "not one line: " << output;
    EXPECT_EQ(numberAfter(output, "command"), StereoReverse);
    EXPECT_NE(output.find("\"name\":\"StereoReverse\""), std::string::npos);
    EXPECT_NE(output.find("\"exact\":true"), std::string::npos);
    EXPECT_NE(output.find("\"damage\":null"), std::string::npos);
    EXPECT_NE(output.find("\"stillOnScreen\":false"), std::string::npos);
    const int64_t duration = numberAfter(output, "durationMs");
    EXPECT_GE(duration, 800);
    EXPECT_GT(numberAfter(output, "appearedMs"), 0);
}

TEST_F(LumowatchOnScreen, TellsWhichColumnsAnOverlayHidAndExitsWithTheGuessedCommand) {
    constexpr int fromX = 300;
    constexpr int toX = 500;
    constexpr int overlayHeight = 40;
    Lumowatch watch("--once --timeout 5000");
    ASSERT_TRUE(watch.started());
    ASSERT_TRUE(watch.waitUntilReady()) << watch.errors();

    // The overlay comes after the code window is made and before it paints (it paints when this
    // thread pumps its messages), so it covers the code from the first.
    showCode(LcdMode1);
    const std::vector<HWND> codeWindows = topLevelWindowsOfClass(codeWindowClassName);
    ASSERT_EQ(codeWindows.size(), 1u);
    Overlay overlay(codeWindows.front(), fromX, toX, overlayHeight);
    ASSERT_TRUE(overlay.shown());

    const std::optional<DWORD> exitCode = watch.waitForExit();
    ASSERT_TRUE(exitCode);
    const std::string output = watch.output();
    std::printf("lumowatch printed: %s", output.c_str());
    EXPECT_EQ(exitCode, static_cast<DWORD>(LcdMode1));
    // The first damaged reading may also catch the code window half painted: further flaws may
    // follow the overlay's.
    EXPECT_TRUE(std::regex_match(output, std::regex("at [0-9]+ ms: 5 LcdMode1, [0-9]+ ms on "
                                                    "screen, damaged: rows 0-13 x 300-499 "
                                                    "(#[0-9A-F]{6}|[a-z]+)(; [^\n]*)?\n")))
        << output;
}

TEST_F(LumowatchOnScreen, ExitsWithZeroAfterItsTimeoutWhenNoCodeShows) {
    constexpr DWORD timeoutMs = 1500;
    const ULONGLONG started = GetTickCount64();
    Lumowatch watch("--once --json --timeout " + std::to_string(timeoutMs));
    ASSERT_TRUE(watch.started());

    const std::optional<DWORD> exitCode = watch.waitForExit();
    ASSERT_TRUE(exitCode);
    EXPECT_GE(GetTickCount64() - started, timeoutMs);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(watch.output(), "");
}

TEST(Lumowatch, RefusesArgumentsItDoesNotKnowWithItsUsage) {
    for (const char* arguments : {"--once --colour", "--timeout soon", "--timeout"}) {
        Lumowatch watch(arguments);
        ASSERT_TRUE(watch.started());
        const std::optional<DWORD> exitCode = watch.waitForExit();
        ASSERT_TRUE(exitCode);
        EXPECT_EQ(exitCode, 2u) << arguments;
        EXPECT_EQ(watch.output(), "") << arguments;
        EXPECT_NE(watch.errors().find("usage: lumowatch"), std::string::npos) << arguments;
    }
}

// The answers of a machine where a code gets through, with one thing changed.
CheckFacts factsWith(void (*change)(CheckFacts&)) {
    CheckFacts facts;
    facts.mode = DisplayMode{1920, 1080, 60, 32};
    facts.displays = 1u;
    facts.advancedColour = AdvancedColour{true, false, false, 0, 8};
    facts.colourMode = 0u;
    facts.colourSpace = 0u;
    facts.gamma = RampShape::Identity;
    facts.notificationState = 5;
    facts.controllerRunning = facts.serverRegistered = true;
    facts.serverAnswers = true;
    change(facts);
    return facts;
}

TEST(LumowatchCheck, SaysWhatToChangeForEachFindingThatStopsACode) {
    struct Case {
        void (*change)(CheckFacts&);
        const char* says;
    };
    const Case cases[] = {
        {[](CheckFacts&) {}, nullptr},
        {[](CheckFacts& f) { f.gamma = RampShape::EndsKept; }, nullptr},
        {[](CheckFacts& f) { f.advancedColour->encoding = 2; }, nullptr}, // 4:2:2 keeps rows
        {[](CheckFacts& f) { f.advancedColour->encoding = 3; }, "YCbCr 4:2:0"},
        {[](CheckFacts& f) { f.colourMode = 2u; }, "\"Use HDR\" off"},
        {[](CheckFacts& f) { f.colourMode = 1u; }, "\"Automatically manage color"},
        // Before Windows 11 24H2: wide colour enforced, or advanced colour of either kind.
        {[](CheckFacts& f) {
             f.colourMode.reset();
             f.advancedColour->enabled = true;
         },
         "\"Use HDR\" and"},
        {[](CheckFacts& f) {
             f.colourMode.reset();
             f.advancedColour->enabled = f.advancedColour->wideColourEnforced = true;
         },
         "(wide colour) is on"},
        {[](CheckFacts& f) { f.gamma = RampShape::EndsChanged; }, "gamma ramp"},
        {[](CheckFacts& f) { f.notificationState = 3; }, "borderless or windowed"},
        {[](CheckFacts& f) { f.serverRegistered = false; }, "/RegServer"},
        {[](CheckFacts& f) { f.serverAnswers = false; }, "does not answer"},
    };
    for (const Case& c : cases) {
        const CheckFacts facts = factsWith(c.change);
        const std::string text = checkText(facts);
        EXPECT_EQ(checkExitCode(facts), c.says ? 1 : 0) << text;
        EXPECT_NE(text.find(c.says ? c.says : "\nNothing stands in the way"), std::string::npos)
            << text;
    }
    const std::string json = checkJson(factsWith([](CheckFacts& f) { f.colourMode = 2u; }));
    EXPECT_NE(json.find("\"advancedColour\":\"hdr\",\"colourSpace\":0,\"hdr\":true,"),
              std::string::npos)
        << json;
}

TEST(LumowatchCheck, SaysWhatItCouldNotSeeInsteadOfTheAllClear) {
    // Where the display path does not answer, DXGI's standard colour space cannot rule out wide
    // colour; its HDR still counts.
    const CheckFacts unseen = factsWith([](CheckFacts& f) {
        f.advancedColour.reset();
        f.colourMode.reset();
    });
    const std::string text = checkText(unseen);
    EXPECT_EQ(checkExitCode(unseen), 0);
    EXPECT_EQ(text.find("Nothing stands"), std::string::npos) << text;
    EXPECT_NE(text.find("Colour path: not reported\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Not seen: the colour encoding"), std::string::npos) << text;
    EXPECT_NE(text.find("Nothing that was seen stands in the way"), std::string::npos) << text;
    const std::string json = checkJson(unseen);
    EXPECT_NE(json.find("\"colourEncoding\":null,\"bitsPerChannel\":null,"
                        "\"advancedColourSupported\":null,\"advancedColour\":null,"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"notSeen\":[\"whether advanced colour"), std::string::npos) << json;
    const CheckFacts hdr = factsWith([](CheckFacts& f) {
        f.advancedColour.reset();
        f.colourMode.reset();
        f.colourSpace = 12u;
    });
    EXPECT_NE(checkText(hdr).find("\"Use HDR\" off"), std::string::npos) << checkText(hdr);
}

TEST(LumowatchCheck, NamesThePrimaryDisplayWhenThereAreMore) {
    const CheckFacts facts = factsWith([](CheckFacts& f) {
        f.displays = 2u;
        f.primaryDevice = "\\\\.\\DISPLAY2";
        f.primaryMonitor = "DELL U2415";
    });
    const std::string text = checkText(facts);
    EXPECT_EQ(checkExitCode(facts), 0);
    EXPECT_EQ(text.find("Primary display: DELL U2415 (\\\\.\\DISPLAY2), 1920x1080"), 0u) << text;
    EXPECT_NE(text.find("\nDisplays: 2; a code shows on the primary one only"), std::string::npos)
        << text;
    EXPECT_NE(checkText(factsWith([](CheckFacts&) {})).find("\nDisplays: 1\n"), std::string::npos);
    const std::string duplicated = checkText(factsWith([](CheckFacts& f) { f.duplicates = 1; }));
    EXPECT_NE(duplicated.find("Not seen: the colour path of the 1 further output"),
              std::string::npos)
        << duplicated;
}

// What the system answers differs between machines: the run is held to the test's own view of the
// displays, and to its own answers.
TEST(LumowatchCheck, ARealRunNamesThePrimaryDisplayAndSaysWhatItCouldNotSee) {
    MONITORINFOEXA primary{};
    primary.cbSize = sizeof(primary);
    ASSERT_TRUE(GetMonitorInfoA(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &primary));
    const auto run = [](const char* arguments) {
        Lumowatch check(arguments);
        return check.started() && check.waitForExit() ? check.output() : std::string();
    };
    const std::string json = run("--check --json");
    const std::string text = run("--check");
    std::printf("lumowatch printed: %s%s", json.c_str(), text.c_str());
    EXPECT_NE(json.find(",\"primaryDevice\":" + jsonString(primary.szDevice) + ","),
              std::string::npos);
    EXPECT_EQ(numberAfter(json, "displays"), GetSystemMetrics(SM_CMONITORS));
    const bool pathSeen = json.find("\"colourEncoding\":null") == std::string::npos;
    EXPECT_EQ(text.find("\nColour path: not reported\n") == std::string::npos, pathSeen);
    if (!pathSeen) {
        EXPECT_EQ(text.find("Nothing stands in the way"), std::string::npos);
    }
}

TEST(LumowatchCheck, TellsARampThatChangesTheCodesColoursFromOneThatLetsThemPass) {
    std::array<WORD, 3 * 256> ramp{};
    for (size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = static_cast<WORD>((i % 256) << 8);
    EXPECT_EQ(rampShape(ramp), RampShape::Identity);
    ramp[128] = 0x9000; // a calibration's curve
    EXPECT_EQ(rampShape(ramp), RampShape::EndsKept);
    ramp[255] = 0xE000; // full red dimmed
    EXPECT_EQ(rampShape(ramp), RampShape::EndsChanged);
}

TEST(Lumowatch, TakesTheCompanionsHelpSwitches) {
    for (const char* arguments : {"-h", "--help", "/?"}) {
        Lumowatch watch(arguments);
        ASSERT_TRUE(watch.started());
        EXPECT_EQ(watch.waitForExit(), 0u) << arguments;
        EXPECT_EQ(watch.output().find("usage: lumowatch"), 0u) << arguments;
    }
}

} // namespace
