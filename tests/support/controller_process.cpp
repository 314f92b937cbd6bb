#include "support/controller_process.h"

#include "support/wait.h"

namespace {

constexpr DWORD programEndsMs = 20000;
constexpr DWORD forcedEndMs = 5000;

} // namespace

std::string testProgramFolder() {
    char own[MAX_PATH];
    GetModuleFileNameA(nullptr, own, MAX_PATH);
    std::string folder = own;
    folder.resize(folder.find_last_of('\\') + 1);
    return folder;
}

std::string controllerPath() {
    const std::string path = testProgramFolder() + "..\\ZEZIZER.exe";
    char full[MAX_PATH];
    GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    return full;
}

HWND mainWindowOf(DWORD processId) {
    // Found by the class itself, not by the spelling of its name, which is the one of whoever
    // registered the name first.
    for (HWND window = FindWindowExA(nullptr, nullptr, controllerWindowClass, nullptr); window;
         window = FindWindowExA(nullptr, window, controllerWindowClass, nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId)
            return window;
    }
    return nullptr;
}

ControllerProcess::ControllerProcess(const std::string& arguments, const std::string& program,
                                     const std::string& desktop)
    : ChildProcess(commandLineOf(program, arguments), "", desktop) {}

ControllerProcess::~ControllerProcess() {
    if (running())
        exit(forcedEndMs);
}

HWND ControllerProcess::waitForMainWindow(DWORD timeoutMs) {
    HWND window = nullptr;
    waitUntil([&] { return (window = mainWindowOf(processId())) != nullptr || !running(); },
              timeoutMs);
    return window;
}

std::optional<DWORD> ControllerProcess::waitForExit(DWORD timeoutMs, bool* mainWindowSeen) {
    if (mainWindowSeen)
        *mainWindowSeen = false;
    return ChildProcess::waitForExit(timeoutMs, [&] {
        if (mainWindowSeen && mainWindowOf(processId()))
            *mainWindowSeen = true;
    });
}

std::optional<DWORD> ControllerProcess::exit(DWORD timeoutMs) {
    if (HWND window = mainWindowOf(processId()))
        PostMessageA(window, WM_COMMAND, controllerExitCommand, 0);
    return waitForExit(timeoutMs);
}

std::optional<DWORD> runController(const std::string& arguments, bool* mainWindowSeen,
                                   const std::string& program) {
    ControllerProcess controller(arguments, program);
    return controller.waitForExit(programEndsMs, mainWindowSeen);
}
