#include "support/dialog_driver.h"

#include "support/wait.h"
#include "support/windows.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

constexpr char dialogClass[] = "#32770";
constexpr char markerClass[] = "DialogDriverMarker";
constexpr UINT markerMessage = WM_APP;
constexpr DWORD dismissTimeoutMs = 5000;
constexpr DWORD dismissIntervalMs = 50;
constexpr DWORD settleTimeoutMs = 5000;
constexpr size_t itemTextSize = 256;
constexpr DWORD keyTakenTimeoutMs = 5000;
constexpr LPARAM keyReleasedFlag = LPARAM(1) << 31;

DWORD dialogThread = 0;

// A message-only window on the dialog's thread: a marker posted to it is handled after every
// message posted to that thread before it.
HWND markerWindow = nullptr;
std::atomic<LONG> markersPosted{0};
std::atomic<LONG> markersHandled{0};

LRESULT CALLBACK markerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == markerMessage) {
        markersHandled = static_cast<LONG>(wParam);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND createMarkerWindow() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = markerProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = markerClass;
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, markerClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

// Cancels, then confirms, whatever dialogs and message boxes are left, until none is.
void dismissRemainingDialogs() {
    const ULONGLONG deadline = GetTickCount64() + dismissTimeoutMs;
    while (GetTickCount64() < deadline) {
        const std::vector<HWND> left = visibleDialogs(nullptr);
        if (left.empty())
            return;
        for (HWND dialog : left) {
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        }
        Sleep(dismissIntervalMs);
    }
    ADD_FAILURE() << "dialogs stayed open after the test";
}

// Counts the key presses that the dialog's thread takes from its queue.
std::atomic<LONG> keyPressesTaken{0};

LRESULT CALLBACK countKeyPresses(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && !(lParam & keyReleasedFlag))
        ++keyPressesTaken;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void sendKey(WORD virtualKey, DWORD flags) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.dwFlags = flags;
    SendInput(1, &input, sizeof(input));
}

} // namespace

std::vector<HWND> visibleDialogs(const char* title) {
    std::vector<HWND> found;
    for (HWND dialog : visibleWindowsOf(GetCurrentProcessId(), dialogClass))
        if (!title || windowText(dialog) == title)
            found.push_back(dialog);
    return found;
}

void driveDialog(const char* title, const std::function<void()>& open,
                 const std::function<void(HWND)>& user) {
    markerWindow = createMarkerWindow();
    ASSERT_NE(markerWindow, nullptr);
    dialogThread = GetCurrentThreadId();
    std::thread userThread([&] {
        HWND dialog = waitForDialog(title);
        if (dialog)
            user(dialog);
        else
            ADD_FAILURE() << "no dialog \"" << title << "\" appeared";
        dismissRemainingDialogs();
    });
    open();
    userThread.join();
    DestroyWindow(markerWindow);
    markerWindow = nullptr;
}

HWND waitForDialog(const char* title, DWORD timeoutMs) {
    HWND dialog = nullptr;
    waitUntil(
        [&] {
            const std::vector<HWND> found = visibleDialogs(title);
            dialog = found.empty() ? nullptr : found.front();
            return dialog != nullptr;
        },
        timeoutMs);
    return dialog;
}

void waitForDialogThread() {
    ASSERT_NE(markerWindow, nullptr);
    const LONG marker = ++markersPosted;
    PostMessageA(markerWindow, markerMessage, static_cast<WPARAM>(marker), 0);
    EXPECT_TRUE(waitUntil([&] { return markersHandled >= marker; }, settleTimeoutMs))
        << "the dialog's thread did not come back to its message loop";
}

void click(HWND dialog, int id) {
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void postClick(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void choose(HWND dialog, int list, int index, WORD notification) {
    HWND control = GetDlgItem(dialog, list);
    SendMessageA(control, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(list, notification),
                 reinterpret_cast<LPARAM>(control));
}

std::vector<std::string> listItems(HWND dialog, int list) {
    std::vector<std::string> items;
    const LRESULT count = SendDlgItemMessageA(dialog, list, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        char text[itemTextSize] = {};
        if (SendDlgItemMessageA(dialog, list, CB_GETLBTEXTLEN, i, 0) < LRESULT(itemTextSize))
            SendDlgItemMessageA(dialog, list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        items.emplace_back(text);
    }
    return items;
}

int listSelection(HWND dialog, int list) {
    return static_cast<int>(SendDlgItemMessageA(dialog, list, CB_GETCURSEL, 0, 0));
}

std::string controlText(HWND dialog, int id) {
    return windowText(GetDlgItem(dialog, id));
}

bool controlEnabled(HWND dialog, int id) {
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

void pressChord(std::initializer_list<WORD> virtualKeys) {
    for (WORD key : virtualKeys)
        sendKey(key, 0);
    for (auto key = std::rbegin(virtualKeys); key != std::rend(virtualKeys); ++key)
        sendKey(*key, KEYEVENTF_KEYUP);
}

bool typeKeys(HWND dialog, std::initializer_list<WORD> virtualKeys) {
    if (!waitUntil([&] { return GetForegroundWindow() == dialog; }, dialogAppearsMs))
        return false;
    HHOOK hook = SetWindowsHookExA(WH_KEYBOARD, countKeyPresses, nullptr, dialogThread);
    if (!hook)
        return false;
    keyPressesTaken = 0;
    for (WORD key : virtualKeys) {
        sendKey(key, 0);
        sendKey(key, KEYEVENTF_KEYUP);
    }
    const LONG presses = static_cast<LONG>(virtualKeys.size());
    const bool taken = waitUntil([&] { return keyPressesTaken >= presses; }, keyTakenTimeoutMs);
    UnhookWindowsHookEx(hook);
    return taken;
}
