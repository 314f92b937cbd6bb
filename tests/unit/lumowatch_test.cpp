// lumowatch started as a process of its own, watching the real screen while this test shows code
// windows on it.

#include "code/code_window.h"
#include "code/controller_state.h"
#include "support/code_on_screen.h"
#include "support/controller_process.h"
#include "support/fresh_controller.h"
#include "support/wait.h"
#include "support/windows.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

namespace {

constexpr DWORD startsWithinMs = 30000;
constexpr DWORD exitsWithinMs = 15000;

std::string newTemporaryFile() {
    char folder[MAX_PATH] = {};
    char path[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    GetTempFileNameA(folder, "lw", 0, path);
    return path;
}

std::string contentsOf(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0)
        text.append(buffer, read);
    CloseHandle(file);
    return text;
}

HANDLE inheritableWriter(const std::string& path) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// lumowatch with its stdout and stderr in files of their own, read while it runs.
class Lumowatch {
  public:
    explicit Lumowatch(const std::string& arguments)
        : outputPath_(newTemporaryFile()), errorsPath_(newTemporaryFile()) {
        HANDLE output = inheritableWriter(outputPath_);
        HANDLE errors = inheritableWriter(errorsPath_);
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = output;
        startup.hStdError = errors;
        std::string commandLine = "\"";
        commandLine += testProgramFolder() + "..\\lumowatch.exe";
        commandLine += "\" " + arguments;
        PROCESS_INFORMATION process{};
        if (CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                           nullptr, nullptr, &startup, &process)) {
            CloseHandle(process.hThread);
            process_ = process.hProcess;
        }
        CloseHandle(output);
        CloseHandle(errors);
    }
    ~Lumowatch() {
        if (process_ && running())
            TerminateProcess(process_, 1);
        if (process_)
            CloseHandle(process_);
        DeleteFileA(outputPath_.c_str());
        DeleteFileA(errorsPath_.c_str());
    }
    Lumowatch(const Lumowatch&) = delete;
    Lumowatch& operator=(const Lumowatch&) = delete;

    bool started() const { return process_ != nullptr; }
    bool running() const { return WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

    // Until it says on stderr that it watches the screen (or ends without saying so).
    bool waitUntilReady() const {
        return waitUntil([&] { return errors().find("ready") != std::string::npos || !running(); },
                         startsWithinMs) &&
               running();
    }
    bool waitForExit() const {
        return waitUntil([&] { return !running(); }, exitsWithinMs);
    }
    DWORD exitCode() const {
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(process_, &code);
        return code;
    }
    std::string output() const { return contentsOf(outputPath_); }
    std::string errors() const { return contentsOf(errorsPath_); }

  private:
    std::string outputPath_;
    std::string errorsPath_;
    HANDLE process_ = nullptr;
};

int64_t numberAfter(const std::string& line, const std::string& key) {
    std::smatch match;
    if (!std::regex_search(line, match, std::regex("\"" + key + "\":(-?[0-9]+)")))
        return -1;
    return std::stoll(match[1]);
}

// A topmost window over some columns of the top of the screen, as a toolbar of another program.
class Overlay {
  public:
    Overlay(int fromX, int toX, int height)
        : window_(CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, "STATIC", "", WS_POPUP, fromX,
                                  0, toX - fromX, height, nullptr, nullptr, nullptr, nullptr)) {
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

    ASSERT_TRUE(watch.waitForExit());
    const std::string output = watch.output();
    std::printf("lumowatch printed: %s", output.c_str());
    EXPECT_EQ(watch.exitCode(), static_cast<DWORD>(StereoReverse));
    ASSERT_EQ(output.find('\n'), output.size() - 1) << "not one line: " << output;
    EXPECT_EQ(numberAfter(output, "command"), StereoReverse);
    EXPECT_NE(output.find("\"name\":\"StereoReverse\""), std::string::npos);
    EXPECT_NE(output.find("\"exact\":true"), std::string::npos);
    EXPECT_NE(output.find("\"damage\":null"), std::string::npos);
    EXPECT_NE(output.find("\"stillOnScreen\":false"), std::string::npos);
    const int64_t duration = numberAfter(output, "durationMs");
    EXPECT_GE(duration, 800);
    EXPECT_LE(duration, 1500);
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
    // thread pumps its messages), so it covers the code from the first: under Wine a newer window
    // shows above an older topmost one.
    showCode(LcdMode1);
    Overlay overlay(fromX, toX, overlayHeight);
    ASSERT_TRUE(overlay.shown());

    ASSERT_TRUE(watch.waitForExit());
    const std::string output = watch.output();
    std::printf("lumowatch printed: %s", output.c_str());
    EXPECT_EQ(watch.exitCode(), static_cast<DWORD>(LcdMode1));
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

    ASSERT_TRUE(watch.waitForExit());
    EXPECT_GE(GetTickCount64() - started, timeoutMs);
    EXPECT_EQ(watch.exitCode(), 0u);
    EXPECT_EQ(watch.output(), "");
}

TEST(Lumowatch, RefusesArgumentsItDoesNotKnowWithItsUsage) {
    for (const char* arguments : {"--once --colour", "--timeout soon", "--timeout"}) {
        Lumowatch watch(arguments);
        ASSERT_TRUE(watch.started());
        ASSERT_TRUE(watch.waitForExit());
        EXPECT_EQ(watch.exitCode(), 2u) << arguments;
        EXPECT_EQ(watch.output(), "") << arguments;
        EXPECT_NE(watch.errors().find("usage: lumowatch"), std::string::npos) << arguments;
    }
}

} // namespace
