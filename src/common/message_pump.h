#pragma once
// Dispatches the messages waiting for this thread, without waiting for more.

#include <windows.h>

inline void pumpPending() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}
