#include "support/wait.h"

namespace {

void pumpPending() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

constexpr DWORD pollIntervalMs = 5;

} // namespace

void pumpMessagesFor(DWORD milliseconds) {
    waitUntil([] { return false; }, milliseconds);
}

bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        pumpPending();
        if (condition())
            return true;
        if (GetTickCount64() >= deadline)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, pollIntervalMs, QS_ALLINPUT);
    }
}
