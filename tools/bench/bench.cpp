// lumobench: measures the running controller from outside, each figure beside a baseline taken in
// the same run, and prints one Markdown table. Lines starting with "#" tell the driver script
// (tools/bench/run) when the controller idles, so that it can count wake-ups from the Linux side.

#include "baselines.h"
#include "start_phases.h"
#include "statistics.h"

#include "app/hot_keys.h"
#include "app/menu_ids.h"
#include "code/command_table.h"
#include "decoder/code_decoder.h"
#include "common/com_ptr.h"
#include "common/handle.h"
#include "common/message_pump.h"
#include "lumoauto/resource.h"
#include "lumowatch/screen_top.h"
#include "settings/settings_store.h"
#include "support/child_process.h"
#include "support/controller_process.h"
#include "support/test_names.h"
#include "support/wait.h"
#include "support/windows.h"

#include <objbase.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

// {CD4EE6B2-6D9E-4B89-A488-AEC7B52E0AF8}, the controller's automation class.
constexpr CLSID lumoCodeClassId = {
    0xcd4ee6b2, 0x6d9e, 0x4b89, {0xa4, 0x88, 0xae, 0xc7, 0xb5, 0x2e, 0x0a, 0xf8}};
// Measures the start-up alone, for comparing builds of the controller quickly.
constexpr char startUpOnlySwitch[] = "--start-up-only";
// Measures lumoauto alone.
constexpr char switchingOnlySwitch[] = "--switching-only";

constexpr double frameMs = 1000.0 / 60.0;
constexpr int startRepetitions = 20;
// Enough that the p95 of each path is more than its one or two slowest samples.
constexpr int frameRounds = 120;
constexpr int visibleRepetitions = 20;
constexpr int settingsSaves = 200;
// A path whose code did not appear this often is left out of the rounds that follow.
constexpr int missesAllowed = 3;
constexpr int warmUpCalls = 20;
constexpr int sustainedCalls = 1000;
constexpr DWORD idleMs = 10000;
// The driver's own 10 s window starts a little after the marker: the controller stays idle longer.
constexpr DWORD idleMarginMs = 1500;
constexpr DWORD lumowatchRunMs = 5000;
// Long enough for the driver, which looks every 100 ms, to read /proc.
constexpr DWORD driverSamplesMs = 1000;
constexpr DWORD startTimeoutMs = 15000;
constexpr DWORD codeTimeoutMs = 2000;
constexpr DWORD windowsCloseTimeoutMs = 60000;
// lumoauto, watching lumotrivial as a listed game.
constexpr char nothingListedStatus[] = "No program is listed";
constexpr int switchRepetitions = 24;
constexpr DWORD switchTimeoutMs = 5000;
constexpr double switchGoalMs = 1500;

std::string besideBuild(const char* name) {
    const std::string controller = controllerPath();
    return controller.substr(0, controller.find_last_of('\\') + 1) + name;
}

std::string ownPath() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

std::string besideOwn(const char* name) {
    const std::string own = ownPath();
    return own.substr(0, own.find_last_of('\\') + 1) + name;
}

// Polls as fast as it can (pumping this apartment's messages); the time of the first poll that
// saw the condition, or nothing at the timeout.
std::optional<double> pollUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const double deadline = nowMs() + timeoutMs;
    for (;;) {
        pumpPending();
        if (condition())
            return nowMs();
        if (nowMs() > deadline)
            return std::nullopt;
        SwitchToThread();
    }
}

// The code monitor's own reader of the screen's top rows, counting its polls.
class CodeOnScreen {
  public:
    // The command whose code is on the screen in full, or nothing.
    std::optional<int32_t> exactCode() {
        ++polls_;
        if (!screen_.read())
            return std::nullopt;
        const DecodedCode code = decodeDisplayCode(screen_.pixels(), screen_.width());
        if (code.reading != CodeReading::Exact)
            return std::nullopt;
        return code.command;
    }
    long polls() const { return polls_; }

  private:
    ScreenTop screen_;
    long polls_ = 0;
};

class DispatchClient {
  public:
    explicit DispatchClient(const CLSID& classId) {
        if (FAILED(CoCreateInstance(classId, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                    object_.putVoid())))
            object_.reset();
    }

    bool connected() const { return static_cast<bool>(object_); }

    // The dispatch id of the method, asked once: the calls that follow are one round trip each.
    std::optional<DISPID> idOf(const wchar_t* method) {
        DISPID id = 0;
        LPOLESTR name = const_cast<LPOLESTR>(method);
        if (FAILED(object_->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id)))
            return std::nullopt;
        return id;
    }

    bool invoke(DISPID id, short argument) {
        VARIANT value;
        VariantInit(&value);
        value.vt = VT_I2;
        value.iVal = argument;
        DISPPARAMS parameters{&value, nullptr, 1, 0};
        return SUCCEEDED(object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                         &parameters, nullptr, nullptr, nullptr));
    }

    // A property read: the same way in and out of the server as a call, without the command.
    bool read(DISPID id) {
        VARIANT result;
        VariantInit(&result);
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        const HRESULT answer =
            object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result,
                            nullptr, nullptr);
        VariantClear(&result);
        return SUCCEEDED(answer);
    }

  private:
    ComPtr<IDispatch> object_;
};

bool classObjectAnswers() {
    ComPtr<IUnknown> object;
    return SUCCEEDED(CoCreateInstance(lumoCodeClassId, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                      object.putVoid()));
}

struct StartFigures {
    std::vector<double> toClass;
    std::vector<double> toReady;
    std::vector<double> baseline;
};

// The time from the start until the program's main thread first waits in its message loop with
// nothing to do: for the controller, after its main window's WM_CREATE added the tray icon (the
// shell has taken it when Shell_NotifyIcon returns). A wait in the kernel, not a poll: a poller
// would take one of the two cores from the program that starts.
std::optional<double> readyInMessageLoop(DWORD processId, DWORD timeoutMs) {
    const Handle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, processId));
    if (!process)
        return std::nullopt;
    const DWORD waited = WaitForInputIdle(process.get(), timeoutMs);
    const double at = nowMs();
    if (waited != 0)
        return std::nullopt;
    return at;
}

void measureControllerStart(StartFigures& figures) {
    const double start = nowMs();
    ControllerProcess controller;
    const std::optional<double> readyAt =
        readyInMessageLoop(controller.processId(), startTimeoutMs);
    // The class object is registered before the main window is made, but a client in another
    // apartment is answered only once the loop runs.
    const std::optional<double> classAt = pollUntil(classObjectAnswers, startTimeoutMs);
    if (readyAt)
        figures.toReady.push_back(*readyAt - start);
    if (classAt)
        figures.toClass.push_back(*classAt - start);
}

void closeTrivialProgram(ChildProcess& trivial) {
    for (HWND window : topLevelWindowsOfClass(trivialWindowClass, trivial.processId()))
        PostMessageA(window, WM_CLOSE, 0, 0);
    trivial.waitForExit(startTimeoutMs);
}

void measureBaselineStart(StartFigures& figures) {
    const double start = nowMs();
    ChildProcess trivial(commandLineOf(besideOwn(trivialWindowProgram), ""));
    if (const std::optional<double> readyAt =
            readyInMessageLoop(trivial.processId(), startTimeoutMs))
        figures.baseline.push_back(*readyAt - start);
    closeTrivialProgram(trivial);
}

// lumotrivial running for the floor's popups: its hidden window takes the requests.
class FloorProgram {
  public:
    FloorProgram() : process_(commandLineOf(besideOwn(trivialWindowProgram), "")) {
        if (!readyInMessageLoop(process_.processId(), startTimeoutMs))
            return;
        const std::vector<HWND> windows =
            topLevelWindowsOfClass(trivialWindowClass, process_.processId());
        if (!windows.empty())
            window_ = windows.front();
    }
    ~FloorProgram() { closeTrivialProgram(process_); }
    FloorProgram(const FloorProgram&) = delete;
    FloorProgram& operator=(const FloorProgram&) = delete;

    bool ready() const { return window_ != nullptr; }
    DWORD processId() const { return process_.processId(); }
    bool showCode(short code, DWORD paintFlags) const {
        return PostMessageA(window_, showFloorCodeMessage, static_cast<WPARAM>(code),
                            static_cast<LPARAM>(paintFlags)) != 0;
    }

  private:
    ChildProcess process_;
    HWND window_ = nullptr;
};

constexpr double startOverBaselineGoalMs = 50;

// The start-up goal holds at the median.
Verdict startVerdict(const Summary& figure, const Summary& baseline) {
    return verdictOf(figure.count && figure.median - baseline.median <= startOverBaselineGoalMs);
}

void printOverBaseline(const std::string& measure, const Summary& figure, const Summary& baseline) {
    char text[96];
    std::snprintf(text, sizeof(text), "%+.1f / %+.1f ms", figure.median - baseline.median,
                  figure.p95 - baseline.p95);
    printValueRow(measure + " over the baseline (median / p95)", text, "median <= +50 ms",
                  startVerdict(figure, baseline));
}

// While the class is registered, a CoCreateInstance that comes before the class object would have
// COM start a second copy: the start-up is measured with the registration withdrawn.
void reportStart() {
    runController("/UnregServer");
    StartFigures figures;
    for (int i = 0; i < startRepetitions; ++i) {
        measureBaselineStart(figures);
        measureControllerStart(figures);
    }
    runController("/RegServer");
    const Summary baseline = summarize(figures.baseline);
    const Summary ready = summarize(figures.toReady);
    const Summary toClass = summarize(figures.toClass);
    const std::string goal = "median <= baseline + 50 ms";
    printSummaryRow("Start to tray icon added and message loop idle (WaitForInputIdle), ms", ready,
                    &baseline, goal, startVerdict(ready, baseline));
    printOverBaseline("Start to tray icon added", ready, baseline);
    printSummaryRow("Start to class object answering (CoCreateInstance succeeds), ms", toClass,
                    &baseline, goal, startVerdict(toClass, baseline));
    printOverBaseline("Start to class object answering", toClass, baseline);
}

// A way to make a program show the code of a round; false when it could not be sent.
using Trigger = std::function<bool(short code)>;

// One way to a code window, measured in turns with the others so that all see the same load.
struct FramePath {
    std::string name;
    Trigger trigger;
    // The code appears as asked, or (false) the path has a code of its own and any code counts.
    bool showsAskedCode;
    // The windows that show the code: closed once their first frame was seen.
    const char* windowClass;
    DWORD processId;
    std::vector<double> toFirstFrame{};
    std::vector<double> triggerReturns{};
    int misses = 0;
};

short codeOfRound(int round) {
    return round % 2 ? StereoReverse : StereoNormal;
}

bool showsCode(CodeOnScreen& screen, std::optional<int32_t> expected) {
    const std::optional<int32_t> code = screen.exactCode();
    return code && (!expected || *code == *expected);
}

// The time from the trigger to the first poll that shows the code in full, once the screen
// showed none before it; nothing when it did not appear.
std::optional<double> timeToFirstFrame(CodeOnScreen& screen, const std::function<bool()>& trigger,
                                       std::optional<int32_t> expected,
                                       std::vector<double>& triggerReturns) {
    pollUntil([&] { return !screen.exactCode(); }, codeTimeoutMs);
    const double start = nowMs();
    if (!trigger())
        return std::nullopt;
    triggerReturns.push_back(nowMs() - start);
    const std::optional<double> shownAt =
        pollUntil([&] { return showsCode(screen, expected); }, codeTimeoutMs);
    if (!shownAt)
        return std::nullopt;
    return *shownAt - start;
}

// Closed from outside once seen, so that a round takes tens of milliseconds rather than a second;
// the next trigger still waits for a screen without a code, as after the window's own end.
void closeCodeWindows(const FramePath& path) {
    for (HWND window : topLevelWindowsOfClass(path.windowClass, path.processId))
        PostMessageA(window, WM_CLOSE, 0, 0);
}

void measureFrameRound(CodeOnScreen& screen, FramePath& path, int round) {
    if (path.misses >= missesAllowed)
        return;
    const short code = codeOfRound(round);
    const std::optional<int32_t> expected =
        path.showsAskedCode ? std::optional<int32_t>(code) : std::nullopt;
    const std::optional<double> first = timeToFirstFrame(
        screen, [&] { return path.trigger(code); }, expected, path.triggerReturns);
    if (first)
        path.toFirstFrame.push_back(*first);
    else
        ++path.misses;
    closeCodeWindows(path);
}

const char floorGoal[] = "p95 <= 1.2 x the floor's p95";
constexpr double floorGoalRatio = 1.2;

// floor: null for the floor itself.
void printFrameRows(const FramePath& path, const Summary* floor, const std::string& goal) {
    if (path.toFirstFrame.empty()) {
        printValueRow(path.name + " to first frame", "no code appeared within 2 s (not handled)",
                      goal, floor ? Verdict::Missed : Verdict::None);
        return;
    }
    const Summary first = summarize(path.toFirstFrame);
    const std::string missed =
        path.misses ? " (" + std::to_string(path.misses) + " not seen within 2 s)" : "";
    printSummaryRow(path.name + " to first frame with the full code" + missed + ", ms", first,
                    floor, goal,
                    floor ? verdictOf(first.p95 <= floorGoalRatio * floor->p95) : Verdict::None);
    char frames[160];
    std::snprintf(frames, sizeof(frames), "%.2f / %.2f / %.2f frames", first.median / frameMs,
                  first.p95 / frameMs, first.max / frameMs);
    printValueRow(path.name + " to first frame, in 60 Hz frames (median / p95 / max)", frames,
                  "p95 <= 1 frame", verdictOf(first.p95 <= frameMs));
}

// The floor comes first: every path is set beside it.
void reportFramePaths(CodeOnScreen& screen, std::vector<FramePath>& paths) {
    for (int round = 0; round < frameRounds; ++round)
        for (FramePath& path : paths)
            measureFrameRound(screen, path, round);
    const Summary floor = summarize(paths.front().toFirstFrame);
    printFrameRows(paths.front(), nullptr, "-");
    for (size_t i = 1; i < paths.size(); ++i)
        printFrameRows(paths[i], &floor, floorGoal);
}

// The code's time on the screen needs the window's own end: a few SendCode calls of their own.
void reportCodeVisible(CodeOnScreen& screen, DispatchClient& lumoCode, DISPID sendCode) {
    std::vector<double> visible;
    std::vector<double> callReturns;
    const long pollsBefore = screen.polls();
    const double start = nowMs();
    for (int i = 0; i < visibleRepetitions; ++i) {
        const short code = codeOfRound(i);
        if (!timeToFirstFrame(
                screen, [&] { return lumoCode.invoke(sendCode, code); }, code, callReturns))
            break;
        const double shownAt = nowMs();
        if (const std::optional<double> goneAt =
                pollUntil([&] { return !showsCode(screen, code); }, codeTimeoutMs))
            visible.push_back(*goneAt - shownAt);
    }
    const double pollMs = (nowMs() - start) / static_cast<double>(screen.polls() - pollsBefore);
    char goal[64];
    std::snprintf(goal, sizeof(goal), "1000 ms +- 16.7 ms (one poll: %.2f ms)", pollMs);
    const Summary shown = summarize(visible);
    const auto withinAFrame = [](double ms) { return std::abs(ms - 1000.0) <= frameMs; };
    printSummaryRow(
        "Code visible (first to last poll showing it), ms", shown, nullptr, goal,
        verdictOf(shown.count && withinAFrame(shown.median) && withinAFrame(shown.p95)));
}

// The settings save that every command does before its window, timed in this process against the
// same registry: the stored values read once and written back unchanged, both keys, every field.
void reportSettingsSave() {
    if (!loadSettings()) {
        printValueRow("Settings save", "the stored settings could not be read", "-", Verdict::None);
        return;
    }
    std::vector<double> saves;
    for (int i = 0; i < settingsSaves; ++i) {
        const double before = nowMs();
        if (!saveSettings(0))
            break;
        saves.push_back(nowMs() - before);
    }
    printSummaryRow("Settings save (both keys, every field), in the bench's own process, ms",
                    summarize(saves), nullptr, "-", Verdict::None);
}

void pressHotKey1() {
    INPUT keys[4]{};
    const WORD sequence[4][2] = {
        {VK_CONTROL, 0}, {VK_F10, 0}, {VK_F10, KEYEVENTF_KEYUP}, {VK_CONTROL, KEYEVENTF_KEYUP}};
    for (int i = 0; i < 4; ++i) {
        keys[i].type = INPUT_KEYBOARD;
        keys[i].ki.wVk = sequence[i][0];
        keys[i].ki.dwFlags = sequence[i][1];
    }
    SendInput(4, keys, sizeof(INPUT));
}

struct Calls {
    std::vector<double> roundTrips;
    double perSecond = 0;
};

// One call with the argument of the i-th call; false when it failed.
using Call = std::function<bool(int)>;

Calls measureCalls(const Call& call) {
    Calls calls;
    for (int i = 0; i < warmUpCalls; ++i)
        call(i);
    const double start = nowMs();
    for (int i = 0; i < sustainedCalls; ++i) {
        const double before = nowMs();
        if (!call(i))
            break;
        calls.roundTrips.push_back(nowMs() - before);
    }
    calls.perSecond = 1000.0 * static_cast<double>(calls.roundTrips.size()) / (nowMs() - start);
    return calls;
}

// Calls the method with stereo normal and reverse by turns.
Calls measureMethodCalls(DispatchClient& client, const wchar_t* method) {
    const std::optional<DISPID> id = client.idOf(method);
    if (!id)
        return {};
    return measureCalls(
        [&](int i) { return client.invoke(*id, i % 2 ? StereoReverse : StereoNormal); });
}

Calls measurePropertyReads(DispatchClient& client, const wchar_t* property) {
    const std::optional<DISPID> id = client.idOf(property);
    if (!id)
        return {};
    return measureCalls([&](int) { return client.read(*id); });
}

// Started by hand: rpcss knows the class once the server registered its class object, no registry
// needed. The server ends with the release of its last object, so the client that connects first
// is the one that measures; a second connection would find the server gone.
Calls measureEmptyServerCalls() {
    ChildProcess server(commandLineOf(ownPath(), emptyServerSwitch));
    std::unique_ptr<DispatchClient> empty;
    pollUntil(
        [&] {
            empty = std::make_unique<DispatchClient>(emptyServerClassId);
            return empty->connected();
        },
        startTimeoutMs);
    Calls calls;
    if (empty->connected())
        calls = measureMethodCalls(*empty, L"Nothing");
    empty.reset();
    server.waitForExit(startTimeoutMs);
    return calls;
}

BOOL CALLBACK countWindow(HWND window, LPARAM context) {
    auto* count = reinterpret_cast<std::pair<DWORD, int>*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == count->first)
        ++count->second;
    return TRUE;
}

int topLevelWindowCount(DWORD processId) {
    std::pair<DWORD, int> count{processId, 0};
    EnumWindows(countWindow, reinterpret_cast<LPARAM>(&count));
    return count.second;
}

// One request to the wineserver, however many windows there are: the only code windows on this
// desktop are the controller's.
bool codeWindowLeft() {
    return FindWindowExA(nullptr, nullptr, controllerCodeWindowClass, nullptr) != nullptr;
}

// Wine answers GetGuiResources with 0 and the memory counters of another process with 0: the
// driver reads the memory from /proc when it sees the marker, and the window count stands in
// for the USER objects.
// The first call takes the figure after start that the later ones are held to.
void reportFootprint(const std::string& when, DWORD processId) {
    static int afterStart = -1;
    std::printf("# footprint %s\n", when.c_str());
    std::fflush(stdout);
    const int windows = topLevelWindowCount(processId);
    const bool first = afterStart < 0;
    if (first)
        afterStart = windows;
    printValueRow("Controller top-level windows " + when, std::to_string(windows),
                  first ? "-" : "back to the figure after start",
                  first ? Verdict::None : verdictOf(windows <= afterStart));
    Sleep(driverSamplesMs);
}

// The code windows that a burst of calls leaves, and how long after its last call the last one
// goes. Watched at the pace of tests/support/wait.h with one wineserver request a look: asking
// about every window of a thousand without pause would compete with the controller for the
// wineserver and the two cores.
void reportCodeWindowsDrain(const std::string& burst, DWORD controllerId) {
    const int left = topLevelWindowCount(controllerId);
    const double lastCall = nowMs();
    const bool gone = waitUntil([] { return !codeWindowLeft(); }, windowsCloseTimeoutMs);
    const double goneMs = nowMs() - lastCall;
    char text[160];
    if (gone)
        std::snprintf(text, sizeof(text), "%d open at the last call, all gone %.0f ms later", left,
                      goneMs);
    else
        std::snprintf(text, sizeof(text), "%d open at the last call, %d after %lu ms", left,
                      topLevelWindowCount(controllerId), windowsCloseTimeoutMs);
    // A code's second, with one frame for the look that sees it gone.
    printValueRow("Controller top-level windows after " + burst, text,
                  "no code window 1 s (+ 1 frame) after the last call",
                  verdictOf(gone && goneMs <= 1000.0 + frameMs));
}

// Round trips are held to twice the empty server's at the median and at p95.
Verdict roundTripVerdict(const Summary& figure, const Summary& baseline) {
    return verdictOf(figure.count && baseline.count && figure.median <= 2 * baseline.median &&
                     figure.p95 <= 2 * baseline.p95);
}

void reportCalls(DispatchClient& lumoCode, DWORD controllerId) {
    const Calls baseline = measureEmptyServerCalls();
    const Summary baselineSummary = summarize(baseline.roundTrips);
    const Summary reads = summarize(measurePropertyReads(lumoCode, L"DisplayCode").roundTrips);
    printSummaryRow("DisplayCode read round trip (the server's way in and out, no command), ms",
                    reads, &baselineSummary, "<= 2 x baseline",
                    roundTripVerdict(reads, baselineSummary));
    const Calls sendCode = measureMethodCalls(lumoCode, L"SendCode");
    const Summary sends = summarize(sendCode.roundTrips);
    printSummaryRow("SendCode round trip (Invoke, 1000 calls in a row), ms", sends,
                    &baselineSummary, "<= 2 x baseline", roundTripVerdict(sends, baselineSummary));
    const double rate = baseline.perSecond > 0 ? sendCode.perSecond / baseline.perSecond : 0.0;
    char text[160];
    std::snprintf(text, sizeof(text), "%.0f (baseline %.0f, ratio %.2f)", sendCode.perSecond,
                  baseline.perSecond, rate);
    printValueRow("SendCode sustained calls per second", text, ">= 0.5 x baseline",
                  verdictOf(rate >= 0.5));
    reportCodeWindowsDrain("1000 calls in a row", controllerId);
    reportFootprint("after 1000 more commands, code windows gone", controllerId);
    // A second burst tells a leak (grows again) from memory the heap keeps for reuse (stays).
    measureMethodCalls(lumoCode, L"SendCode");
    reportCodeWindowsDrain("1000 further calls", controllerId);
    reportFootprint("after 2000 more commands, code windows gone", controllerId);
}

// Wine's GetProcessTimes does not answer for other processes: the driver reads the CPU time and
// the context switches from /proc between the markers.
void idleForTheDriver() {
    std::printf("# idle begins\n");
    std::fflush(stdout);
    Sleep(idleMs + idleMarginMs);
    std::printf("# idle ends\n");
    std::fflush(stdout);
}

void runLumowatchForTheDriver() {
    const std::string program = besideBuild("lumowatch.exe");
    std::string commandLine = "\"" + program + "\" --timeout " + std::to_string(lumowatchRunMs);
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    const Handle nul(
        CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr));
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = nul.get();
    PROCESS_INFORMATION watch{};
    if (CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                       nullptr, &startup, &watch)) {
        std::printf("# lumowatch runs\n");
        std::fflush(stdout);
        const Handle thread(watch.hThread), process(watch.hProcess);
        WaitForSingleObject(process.get(), lumowatchRunMs * 3);
    }
}

// lumoauto with a command line, run to its end.
bool runLumoauto(const std::string& arguments) {
    return runController(arguments, nullptr, besideBuild("lumoauto.exe")) == 0u;
}

// Tells the driver to sample lumoauto's CPU time and wake-ups (or its memory) now.
void sampleLumoautoForTheDriver(const char* marker, DWORD forMs) {
    std::printf("# lumoauto %s\n", marker);
    std::fflush(stdout);
    Sleep(forMs);
}

// The same while the benchmark makes a top-level window every windowEveryMs: a lumoauto hooked to
// the system's window events wakes for each, one with nothing hooked sleeps on.
void sampleLumoautoWhileWindowsCome(const char* marker, DWORD forMs) {
    constexpr DWORD windowEveryMs = 250;
    std::printf("# lumoauto %s\n", marker);
    std::fflush(stdout);
    const ULONGLONG end = GetTickCount64() + forMs;
    while (GetTickCount64() < end) {
        DestroyWindow(CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                      nullptr, nullptr));
        pumpMessagesFor(windowEveryMs);
    }
}

// lumoauto's status line, as its window shows it.
std::string lumoautoStatus() {
    char text[512] = "";
    GetDlgItemTextA(FindWindowW(lumoautoWindowClass, nullptr), IDC_STATUS, text, sizeof(text));
    return text;
}

struct SwitchFigures {
    std::vector<double> toCode;
    std::vector<double> windowToCode;
    std::vector<double> toOff;
};

// lumotrivial started as a listed game, and ended at once from outside once its code showed: the
// time from its start (CreateProcess, so with its own start-up until its first window) to the
// rule's code in full on the screen, from its first window (what lumoauto learns of) to the code,
// and from TerminateProcess to the stereo-off code.
void measureSwitchRound(CodeOnScreen& screen, SwitchFigures& figures, bool counted) {
    pollUntil([&] { return !screen.exactCode(); }, codeTimeoutMs);
    const double start = nowMs();
    ChildProcess game(commandLineOf(besideOwn(trivialWindowProgram), ""));
    std::optional<double> windowAt;
    const std::optional<double> shown = pollUntil(
        [&] {
            if (!windowAt && FindWindowA(trivialWindowClass, nullptr))
                windowAt = nowMs();
            return showsCode(screen, StereoReverse);
        },
        switchTimeoutMs);
    const double end = nowMs();
    game.terminate();
    const std::optional<double> off =
        pollUntil([&] { return showsCode(screen, StereoOff); }, switchTimeoutMs);
    if (!counted)
        return;
    if (shown)
        figures.toCode.push_back(*shown - start);
    if (shown && windowAt)
        figures.windowToCode.push_back(*shown - *windowAt);
    if (off)
        figures.toOff.push_back(*off - end);
}

void printSwitchRows(const SwitchFigures& figures) {
    const std::string missed = figures.toCode.size() < switchRepetitions
                                   ? " (" +
                                         std::to_string(switchRepetitions - figures.toCode.size()) +
                                         " not seen within 5 s)"
                                   : "";
    // Every round within the goal: all seen, the p95 within.
    const auto switchVerdict = [](const Summary& figure) {
        return verdictOf(figure.count == static_cast<size_t>(switchRepetitions) &&
                         figure.p95 <= switchGoalMs);
    };
    const Summary toCode = summarize(figures.toCode);
    const Summary toOff = summarize(figures.toOff);
    printSummaryRow("lumoauto: listed program started (CreateProcess) to its code in full" +
                        missed + ", ms",
                    toCode, nullptr, "p95 <= 1500 ms", switchVerdict(toCode));
    printSummaryRow(
        "lumoauto: the listed program's first window (seen by FindWindow) to its code, ms",
        summarize(figures.windowToCode), nullptr, "-", Verdict::None);
    printSummaryRow("lumoauto: listed program killed (TerminateProcess) to the stereo-off code, ms",
                    toOff, nullptr, "p95 <= 1500 ms", switchVerdict(toOff));
}

// A listed program runs for the driver's sample, its code gone by then.
void sampleWithGameRunning(CodeOnScreen& screen, const char* marker) {
    ChildProcess game(commandLineOf(besideOwn(trivialWindowProgram), ""));
    pollUntil([&] { return showsCode(screen, StereoReverse); }, switchTimeoutMs);
    pollUntil([&] { return !screen.exactCode(); }, codeTimeoutMs);
    sampleLumoautoForTheDriver(marker, idleMs + idleMarginMs);
    game.terminate();
    pollUntil([&] { return showsCode(screen, StereoOff); }, switchTimeoutMs);
}

// lumoauto watching lumotrivial under a rule: how fast it switches, what it costs with nothing
// listed while other programs make windows, while nothing listed runs and while one does (with a
// front rule it looks at the foreground once a second under Wine), and its memory.
void reportSwitchByProgram() {
    const std::string rule =
        std::string("--add ") + trivialWindowProgram + " --command stereo-reverse";
    ControllerProcess controller;
    if (!controller.waitForMainWindow(startTimeoutMs)) {
        printValueRow("lumoauto", "the controller did not come up", "-", Verdict::None);
        return;
    }
    ChildProcess lumoauto(commandLineOf(besideBuild("lumoauto.exe"), "--background"));
    // Its window is found before it has read the rules; its status line says when it has.
    if (!waitUntil([] { return !lumoautoStatus().empty(); }, startTimeoutMs)) {
        printValueRow("lumoauto", "did not start", "-", Verdict::None);
        return;
    }
    const std::string status = lumoautoStatus();
    printValueRow("lumoauto with nothing listed: its status line", status,
                  "no hook: nothing is watched",
                  verdictOf(status.rfind(nothingListedStatus, 0) == 0));
    sampleLumoautoWhileWindowsCome("idle nothing listed, windows made meanwhile",
                                   idleMs + idleMarginMs);
    if (!runLumoauto(rule) ||
        !waitUntil([] { return lumoautoStatus().rfind(nothingListedStatus, 0) != 0; },
                   startTimeoutMs)) {
        printValueRow("lumoauto", "the rule was not stored or not taken", "-", Verdict::None);
        return;
    }
    sampleLumoautoForTheDriver("idle nothing listed running", idleMs + idleMarginMs);
    CodeOnScreen screen;
    SwitchFigures figures;
    // The first round warms the paths up; it is not counted.
    for (int i = 0; i <= switchRepetitions; ++i)
        measureSwitchRound(screen, figures, i > 0);
    printSwitchRows(figures);
    sampleWithGameRunning(screen, "idle one listed program running");
    runLumoauto(rule + " --when front");
    sampleWithGameRunning(screen, "idle one listed program with a front rule running");
    sampleLumoautoForTheDriver("footprint", driverSamplesMs);
    PostMessageA(FindWindowW(lumoautoWindowClass, nullptr), WM_COMMAND, IDC_EXIT, 0);
    lumoauto.waitForExit(startTimeoutMs);
    runLumoauto(std::string("--remove ") + trivialWindowProgram);
}

bool hasSwitch(const char* name) {
    return std::strstr(GetCommandLineA(), name) != nullptr;
}

// The paths from a request to a code on the screen, the floor first: lumotrivial's popup alone,
// then with the code window's own paint additions, then every way a command reaches the controller.
std::vector<FramePath> framePaths(const FloorProgram& floor, DispatchClient& lumoCode,
                                  DISPID sendCode, HWND mainWindow, DWORD controllerId) {
    return {
        {"Floor: lumotrivial's full-screen popup (message posted)",
         [&floor](short code) { return floor.showCode(code, 0); }, true, floorWindowClass,
         floor.processId()},
        {"Floor + the code window's raise to the top in its paint",
         [&floor](short code) { return floor.showCode(code, floorPaintRaise); }, true,
         floorWindowClass, floor.processId()},
        {"SendCode", [&lumoCode, sendCode](short code) { return lumoCode.invoke(sendCode, code); },
         true, controllerCodeWindowClass, controllerId},
        {"Hot-key Ctrl+F10 (SendInput key press)",
         [](short) {
             pressHotKey1();
             return true;
         },
         false, controllerCodeWindowClass, controllerId},
        {"Hot-key (WM_HOTKEY 30003 posted to the main window)",
         [=](short) {
             return PostMessageA(mainWindow, WM_HOTKEY, hotKey1Id,
                                 MAKELPARAM(MOD_CONTROL, VK_F10)) != 0;
         },
         false, controllerCodeWindowClass, controllerId},
        {"Tray menu Stereo Normal (WM_COMMAND 40011 posted)",
         [=](short) { return PostMessageA(mainWindow, WM_COMMAND, MenuStereoNormal, 0) != 0; },
         false, controllerCodeWindowClass, controllerId},
    };
}

constexpr size_t sendCodePath = 2;

// Command to first frame beside the floor, and what a command does beyond it: the SendCode call
// (COM round trip, settings save, window made and shown), the save alone, the code's time shown.
// The driver reads both programs' memory once they have shown their codes.
bool reportCodeFrames(DispatchClient& lumoCode, HWND mainWindow, DWORD controllerId) {
    const std::optional<DISPID> sendCode = lumoCode.idOf(L"SendCode");
    FloorProgram floor;
    if (!sendCode || !floor.ready()) {
        std::fprintf(stderr, "lumobench: no SendCode, or lumotrivial did not come up\n");
        return false;
    }
    CodeOnScreen screen;
    std::vector<FramePath> paths = framePaths(floor, lumoCode, *sendCode, mainWindow, controllerId);
    reportFramePaths(screen, paths);
    printSummaryRow(
        "SendCode call returns (settings saved, code window opened inside the call), ms",
        summarize(paths[sendCodePath].triggerReturns), nullptr, "-", Verdict::None);
    reportSettingsSave();
    reportCodeVisible(screen, lumoCode, *sendCode);
    // A window that no longer shows may still be on its way out.
    waitUntil([] { return !codeWindowLeft(); }, windowsCloseTimeoutMs);
    reportFootprint("after start and the code frames, code windows gone", controllerId);
    return true;
}

int runBenchmark() {
    printTableHeader();
    if (hasSwitch(switchingOnlySwitch)) {
        reportSwitchByProgram();
        return 0;
    }
    reportStart();
    reportStartPhases();
    if (hasSwitch(startUpOnlySwitch))
        return 0;
    {
        ControllerProcess controller;
        HWND mainWindow = controller.waitForMainWindow(startTimeoutMs);
        std::optional<double> connected = pollUntil(classObjectAnswers, startTimeoutMs);
        DispatchClient lumoCode(lumoCodeClassId);
        if (!mainWindow || !connected || !lumoCode.connected()) {
            std::fprintf(stderr, "lumobench: the controller did not come up\n");
            return 1;
        }
        idleForTheDriver();
        if (!reportCodeFrames(lumoCode, mainWindow, controller.processId()))
            return 1;
        reportCalls(lumoCode, controller.processId());
        runLumowatchForTheDriver();
    }
    reportSwitchByProgram();
    return 0;
}

} // namespace

int main() {
    if (hasSwitch(emptyServerSwitch))
        return runEmptyServer();
    CoInitialize(nullptr);
    const int result = runBenchmark();
    CoUninitialize();
    return result;
}
