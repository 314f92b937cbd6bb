#include "app/tray_icon.h"

#include "code/controller_state.h"
#include "resource.h"

#include <shellapi.h>

namespace {

// The first form of the record (88 bytes on 32-bit Windows) is understood by every shell.
constexpr DWORD trayRecordSize = NOTIFYICONDATAA_V1_SIZE;
constexpr int tipBufferSize = 50;
constexpr char taskbarCreatedMessageName[] = "TaskbarCreated";

NOTIFYICONDATAA trayRecord(HWND mainWindow) {
    NOTIFYICONDATAA record{};
    record.cbSize = trayRecordSize;
    record.hWnd = mainWindow;
    record.uID = trayIconId;
    return record;
}

} // namespace

bool isTaskbarCreatedMessage(UINT message) {
    // Registered messages are never 0; 0 is also what a failed registration gives.
    static const UINT taskbarCreated = RegisterWindowMessageA(taskbarCreatedMessageName);
    return taskbarCreated != 0 && message == taskbarCreated;
}

void addTrayIcon(HWND mainWindow) {
    NOTIFYICONDATAA record = trayRecord(mainWindow);
    record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record.uCallbackMessage = trayCallbackMessage;
    // The small image drawn for the tray, rather than the large one shrunk by the shell.
    record.hIcon = static_cast<HICON>(
        LoadImageA(controller.moduleInstance, MAKEINTRESOURCEA(IDI_CONTROLLER), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    static_assert(tipBufferSize <= sizeof(record.szTip));
    LoadStringA(controller.moduleInstance, IDS_TRAY_TIP, record.szTip, tipBufferSize);
    Shell_NotifyIconA(NIM_ADD, &record);
}

void removeTrayIcon(HWND mainWindow) {
    NOTIFYICONDATAA record = trayRecord(mainWindow);
    Shell_NotifyIconA(NIM_DELETE, &record);
}
