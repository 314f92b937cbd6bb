#include "app/tray_icon.h"

#include "code/controller_state.h"
#include "resource.h"

#include <shellapi.h>

namespace {

// The first form of the record (88 bytes on 32-bit Windows) is understood by every shell.
constexpr DWORD trayRecordSize = NOTIFYICONDATAA_V1_SIZE;
constexpr int tipBufferSize = 50;
constexpr char taskbarCreatedMessageName[] = "TaskbarCreated";
constexpr char changeMessageFilterName[] = "ChangeWindowMessageFilterEx";
constexpr char userLibrary[] = "user32.dll";
constexpr UINT trayRetryIntervalMs = 2000;
constexpr DWORD trayRetryPeriodMs = 120000;

// When the retries began; one icon, one main window.
DWORD trayRetryStartedAt = 0;

using ChangeWindowMessageFilterExFunction = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
constexpr DWORD messageFilterAllow = 1;

NOTIFYICONDATAA trayRecord(HWND mainWindow) {
    NOTIFYICONDATAA record{};
    record.cbSize = trayRecordSize;
    record.hWnd = mainWindow;
    record.uID = trayIconId;
    return record;
}

UINT taskbarCreatedMessage() {
    static const UINT taskbarCreated = RegisterWindowMessageA(taskbarCreatedMessageName);
    return taskbarCreated;
}

// The record that adds the icon, or modifies one that is there, to the same.
NOTIFYICONDATAA fullTrayRecord(HWND mainWindow) {
    NOTIFYICONDATAA record = trayRecord(mainWindow);
    record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record.uCallbackMessage = trayCallbackMessage;
    // The small image drawn for the tray, rather than the large one shrunk by the shell.
    record.hIcon = static_cast<HICON>(
        LoadImageA(controller.moduleInstance, MAKEINTRESOURCEA(IDI_CONTROLLER), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    static_assert(tipBufferSize <= sizeof(record.szTip));
    LoadStringA(controller.moduleInstance, IDS_TRAY_TIP, record.szTip, tipBufferSize);
    return record;
}

bool notifyTray(DWORD action, HWND mainWindow) {
    NOTIFYICONDATAA record = fullTrayRecord(mainWindow);
    return Shell_NotifyIconA(action, &record) != FALSE;
}

} // namespace

bool isTaskbarCreatedMessage(UINT message) {
    // Registered messages are never 0; 0 is also what a failed registration gives.
    return taskbarCreatedMessage() != 0 && message == taskbarCreatedMessage();
}

void allowTaskbarCreatedMessage(HWND mainWindow) {
    // Looked up at run time: Windows Vista has no per-window filter, and needs none without
    // elevation.
    const auto allow =
        reinterpret_cast<ChangeWindowMessageFilterExFunction>(reinterpret_cast<void (*)()>(
            GetProcAddress(GetModuleHandleA(userLibrary), changeMessageFilterName)));
    if (allow && taskbarCreatedMessage() != 0)
        allow(mainWindow, taskbarCreatedMessage(), messageFilterAllow, nullptr);
}

void showTrayIcon(HWND mainWindow) {
    KillTimer(mainWindow, trayIconRetryTimerId);
    if (notifyTray(NIM_ADD, mainWindow))
        return;
    trayRetryStartedAt = GetTickCount();
    SetTimer(mainWindow, trayIconRetryTimerId, trayRetryIntervalMs, nullptr);
}

void retryTrayIcon(HWND mainWindow) {
    // An add that timed out may have landed all the same: then modifying the icon succeeds.
    if (notifyTray(NIM_MODIFY, mainWindow) || notifyTray(NIM_ADD, mainWindow) ||
        GetTickCount() - trayRetryStartedAt >= trayRetryPeriodMs)
        KillTimer(mainWindow, trayIconRetryTimerId);
}

void removeTrayIcon(HWND mainWindow) {
    KillTimer(mainWindow, trayIconRetryTimerId);
    NOTIFYICONDATAA record = trayRecord(mainWindow);
    Shell_NotifyIconA(NIM_DELETE, &record);
}
