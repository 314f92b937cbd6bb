#include "support/windows.h"

namespace {

struct ClassSearch {
    const char* className;
    std::vector<HWND> found;
};

BOOL CALLBACK collectOfClass(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<ClassSearch*>(parameter);
    if (className(window) == search->className)
        search->found.push_back(window);
    return TRUE;
}

} // namespace

std::vector<HWND> topLevelWindowsOfClass(const char* wanted) {
    ClassSearch search{wanted, {}};
    EnumWindows(collectOfClass, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<HWND> topLevelWindowsOfClass(const char* wanted, DWORD processId) {
    std::vector<HWND> windows;
    for (HWND window : topLevelWindowsOfClass(wanted)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId)
            windows.push_back(window);
    }
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
