#include "start_phases.h"

#include "statistics.h"

#include "app/start_up_marks.h"
#include "support/controller_process.h"

#include <windows.h>

#include <cstring>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int phaseRepetitions = 10;
constexpr DWORD debugEventTimeoutMs = 15000;
constexpr DWORD exitTimeoutMs = 15000;

struct Phase {
    const char* mark;
    const char* name;
};

// In the order the controller passes them; each phase ends at its mark.
constexpr Phase phases[] = {
    {startUpMarkEntry, "CreateProcess to the entry routine (the process, its DLLs, the C runtime)"},
    {startUpMarkApartment, "the apartment (CoInitialize)"},
    {startUpMarkClassObject,
     "the server module, the shutdown monitor and the class object (CoRegisterClassObject)"},
    {startUpMarkWindowClass, "the single-instance test and the main window class with its icon"},
    {startUpMarkTrayIcon, "the main window up to its tray icon (CreateWindowEx, Shell_NotifyIcon)"},
    {startUpMarkMainWindow, "the rest of WM_CREATE: version text, settings, hot-keys"},
};
constexpr size_t phaseCount = std::size(phases);

std::string debugString(HANDLE process, const OUTPUT_DEBUG_STRING_INFO& info) {
    std::string text(info.nDebugStringLength, '\0');
    SIZE_T read = 0;
    if (info.fUnicode ||
        !ReadProcessMemory(process, info.lpDebugStringData, text.data(), text.size(), &read))
        return {};
    text.resize(strnlen(text.c_str(), read));
    return text;
}

struct StartMarks {
    std::vector<double> at;
    int dllsBeforeEntry = 0;
};

// Takes the debug events of one start until its last mark: the time of each mark after
// CreateProcess. Exceptions other than the loader's first breakpoint go back to the controller.
StartMarks followStart(const PROCESS_INFORMATION& started, double start) {
    StartMarks marks;
    while (marks.at.size() < phaseCount) {
        DEBUG_EVENT event{};
        if (!WaitForDebugEvent(&event, debugEventTimeoutMs))
            break;
        const double now = nowMs();
        DWORD status = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
        case CREATE_PROCESS_DEBUG_EVENT:
            if (event.u.CreateProcessInfo.hFile)
                CloseHandle(event.u.CreateProcessInfo.hFile);
            break;
        case LOAD_DLL_DEBUG_EVENT:
            if (event.u.LoadDll.hFile)
                CloseHandle(event.u.LoadDll.hFile);
            if (marks.at.empty())
                ++marks.dllsBeforeEntry;
            break;
        case OUTPUT_DEBUG_STRING_EVENT:
            if (debugString(started.hProcess, event.u.DebugString) == phases[marks.at.size()].mark)
                marks.at.push_back(now - start);
            break;
        case EXCEPTION_DEBUG_EVENT:
            if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT)
                status = DBG_EXCEPTION_NOT_HANDLED;
            break;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
        if (event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT)
            break;
    }
    return marks;
}

// One start under the debug loop, ended through its Exit once detached (a killed controller
// would leave its tray icon behind); false when a mark did not come.
bool timeOneStart(std::vector<std::vector<double>>& phaseMs, std::vector<double>& dlls) {
    std::string commandLine = commandLineOf(controllerPath(), "");
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    const double start = nowMs();
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                        DEBUG_ONLY_THIS_PROCESS, nullptr, nullptr, &startup, &started))
        return false;
    const StartMarks marks = followStart(started, start);
    DebugActiveProcessStop(started.dwProcessId);
    if (HWND window = mainWindowOf(started.dwProcessId))
        PostMessageA(window, WM_COMMAND, controllerExitCommand, 0);
    if (WaitForSingleObject(started.hProcess, exitTimeoutMs) != WAIT_OBJECT_0)
        TerminateProcess(started.hProcess, 1);
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    if (marks.at.size() != phaseCount)
        return false;
    for (size_t i = 0; i < phaseCount; ++i)
        phaseMs[i].push_back(marks.at[i] - (i ? marks.at[i - 1] : 0.0));
    dlls.push_back(marks.dllsBeforeEntry);
    return true;
}

} // namespace

void reportStartPhases() {
    std::vector<std::vector<double>> phaseMs(phaseCount);
    std::vector<double> dlls;
    for (int i = 0; i < phaseRepetitions; ++i)
        if (!timeOneStart(phaseMs, dlls))
            break;
    if (dlls.empty()) {
        printValueRow("Start-up phases", "no marks came (a debugger refused?)", "-", Verdict::None);
        return;
    }
    for (size_t i = 0; i < phaseCount; ++i)
        printSummaryRow(std::string("Start-up phase under the bench's debugger: ") +
                            phases[i].name + ", ms",
                        summarize(phaseMs[i]), nullptr, "-", Verdict::None);
    printValueRow("Start-up: DLLs loaded before the entry routine",
                  std::to_string(static_cast<int>(summarize(dlls).median)), "-", Verdict::None);
}
