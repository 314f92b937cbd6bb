#include "app/single_instance.h"

#include "app/main_window.h"

#include <cstring>

namespace {

// The class names read are cut to 29 characters; ours is shorter.
constexpr int classNameBufferSize = 30;

BOOL CALLBACK findControllerWindow(HWND window, LPARAM foundFlag) {
    char name[classNameBufferSize] = {};
    GetClassNameA(window, name, classNameBufferSize);
    if (std::strcmp(name, mainWindowClassName) != 0)
        return TRUE;
    *reinterpret_cast<bool*>(foundFlag) = true;
    return FALSE;
}

} // namespace

bool controllerAlreadyRuns() {
    bool found = false;
    EnumWindows(findControllerWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}
