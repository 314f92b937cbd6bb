#pragma once
// The controller's three global hot-keys.

#include <windows.h>

#include <cstdint>

constexpr int hotKey1Id = 30003;
constexpr int hotKey2Id = 30002;
constexpr int hotKey3Id = 30001;

struct HotKeyArguments {
    UINT modifiers;
    UINT virtualKey;
};

// A hot-key control value (low byte the virtual key, HOTKEYF_ flags above it) as the arguments
// of RegisterHotKey; every other bit, HOTKEYF_EXT among them, is dropped.
HotKeyArguments convertHotKey(int32_t value);

// Registers a hot-key on the window, first withdrawing an earlier registration of the same id so
// that the old combination does not stay active beside the new one. True on success.
bool registerHotKey(HWND window, int id, int32_t value);

// Registers hotKey1 to hotKey3 of the state; a failure leaves lastError 37, 38 or 39.
void registerControllerHotKeys(HWND window);
