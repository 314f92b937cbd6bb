#include "support/windows.h"

namespace {

BOOL CALLBACK collectWindow(HWND window, LPARAM parameter) {
    reinterpret_cast<std::vector<HWND>*>(parameter)->push_back(window);
    return TRUE;
}

std::vector<HWND> topLevelWindows() {
    std::vector<HWND> windows;
    EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

DWORD processOf(HWND window) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    return owner;
}

} // namespace

std::vector<HWND> topLevelWindowsOfClass(const char* wanted) {
    std::vector<HWND> windows;
    for (HWND window : topLevelWindows())
        if (className(window) == wanted)
            windows.push_back(window);
    return windows;
}

std::vector<HWND> topLevelWindowsOfClass(const char* wanted, DWORD processId) {
    std::vector<HWND> windows;
    for (HWND window : topLevelWindowsOfClass(wanted))
        if (processOf(window) == processId)
            windows.push_back(window);
    return windows;
}

std::vector<HWND> topLevelWindowsOfProcess(DWORD processId) {
    std::vector<HWND> windows;
    for (HWND window : topLevelWindows())
        if (processOf(window) == processId)
            windows.push_back(window);
    return windows;
}

std::string windowText(HWND window) {
    char buffer[512] = {};
    GetWindowTextA(window, buffer, sizeof(buffer));
    return buffer;
}

std::string className(HWND window) {
    char buffer[256] = {};
    GetClassNameA(window, buffer, sizeof(buffer));
    return buffer;
}
