#pragma once
// Waiting for a condition with a bounded timeout while the test thread's messages are dispatched,
// so windows owned by the test (code windows, dialogs) keep painting and their timers keep firing.

#include <windows.h>

#include <functional>

// Dispatches this thread's messages for the given time.
void pumpMessagesFor(DWORD milliseconds);

// Dispatches messages until the condition holds (true) or the timeout passes (false).
bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs);
