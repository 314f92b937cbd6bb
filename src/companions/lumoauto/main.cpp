// lumoauto: switches the glasses by program. When a listed game or player starts or comes to the
// front, its rule's command goes to the controller through ZEZIZER.LumoCode, as from any client;
// when it ends or leaves the front, stereo goes off again. One runs on each user desktop; its
// command line changes and lists the rules.

#include "lumoauto/command_line.h"
#include "lumoauto/programs_window.h"
#include "common/console_output.h"
#include "common/argument_words.h"
#include "common/handle.h"

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

namespace {

constexpr wchar_t instanceMutexPrefix[] = L"Local\\LumoAuto.";
constexpr DWORD firstWindowWaitMs = 10000;
constexpr DWORD firstWindowPollMs = 50;

int answerOnConsole(const Answer& answer) {
    writeConsoleOutput(STD_OUTPUT_HANDLE, answer.output);
    writeConsoleOutput(STD_ERROR_HANDLE, answer.errors);
    return answer.exitCode;
}

std::wstring desktopName() {
    wchar_t name[256] = L"";
    GetUserObjectInformationW(GetThreadDesktop(GetCurrentThreadId()), UOI_NAME, name, sizeof(name),
                              nullptr);
    return name;
}

// The running lumoauto's window is brought up; it may still be starting.
void showFirstInstance() {
    const ULONGLONG deadline = GetTickCount64() + firstWindowWaitMs;
    HWND first = nullptr;
    while (!(first = FindWindowW(lumoautoWindowClass, nullptr)) && GetTickCount64() < deadline)
        Sleep(firstWindowPollMs);
    if (!first)
        return;
    DWORD processId = 0;
    GetWindowThreadProcessId(first, &processId);
    AllowSetForegroundWindow(processId);
    PostMessageW(first, showWindowMessage, 0, 0);
}

int watch(HINSTANCE instance, bool show) {
    const Handle one(CreateMutexW(nullptr, FALSE, (instanceMutexPrefix + desktopName()).c_str()));
    if (one && GetLastError() == ERROR_ALREADY_EXISTS) {
        if (show)
            showFirstInstance();
        return ExitDone;
    }
    return runProgramsWindow(instance, show);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    Invocation invocation;
    std::string problem;
    if (!parseInvocation(argumentWords(), invocation, problem))
        return answerOnConsole(refusal(problem));
    if (invocation.action == Action::Window || invocation.action == Action::Background)
        return watch(instance, invocation.action == Action::Window);
    return answerOnConsole(answer(invocation));
}
