#include "app/single_instance.h"

#include "app/main_window.h"

#include <cstring>

namespace {

// The class names read are cut to 29 characters; ours is shorter.
constexpr int classNameBufferSize = 30;
// In the log-on's own namespace: each user's desktop has its controller.
constexpr char instanceMutexName[] = "Local\\ZEZIZER.LumoController.Instance";

BOOL CALLBACK findControllerWindow(HWND window, LPARAM foundFlag) {
    char name[classNameBufferSize] = {};
    GetClassNameA(window, name, classNameBufferSize);
    if (std::strcmp(name, controllerWindowClass) != 0)
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

// Without a mutex at all (out of resources) the window search alone decides.
InstanceClaim::InstanceClaim()
    : mutex_(CreateMutexA(nullptr, FALSE, instanceMutexName)),
      held_(!mutex_ || GetLastError() != ERROR_ALREADY_EXISTS) {}
