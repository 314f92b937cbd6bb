#include "support/windows.h"

namespace {

struct WindowSearch {
    const char* className; // null: any
    DWORD processId;       // 0: any
    bool visibleOnly;
    std::vector<HWND> found;
};

BOOL CALLBACK collectWindows(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if ((!search->processId || owner == search->processId) &&
        (!search->visibleOnly || IsWindowVisible(window)) &&
        (!search->className || className(window) == search->className))
        search->found.push_back(window);
    return TRUE;
}

std::vector<HWND> windowsFound(WindowSearch search) {
    EnumWindows(collectWindows, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

} // namespace

std::vector<HWND> topLevelWindowsOfClass(const char* wanted) {
    return windowsFound({wanted, 0, false, {}});
}

std::vector<HWND> topLevelWindowsOfClass(const char* wanted, DWORD processId) {
    return windowsFound({wanted, processId, false, {}});
}

std::vector<HWND> topLevelWindowsOfProcess(DWORD processId) {
    return windowsFound({nullptr, processId, false, {}});
}

std::vector<HWND> visibleWindowsOf(DWORD processId, const char* wanted) {
    return windowsFound({wanted, processId, true, {}});
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
