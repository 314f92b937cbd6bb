#include "support/wait.h"

#include "common/message_pump.h"

namespace {

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
