#include "app/exit_sequence.h"

#include "app/main_window.h"
#include "app/tray_icon.h"
#include "code/commands.h"
#include "settings/error_report.h"
#include "settings/settings_store.h"

namespace {

// The main window's user data marks that its exit has begun; nothing else uses it.
constexpr LONG_PTR exitStartedMark = 1;

} // namespace

void runExitSequence(HWND mainWindow) {
    if (exitSequenceStarted(mainWindow))
        return;
    SetWindowLongPtrA(mainWindow, GWLP_USERDATA, exitStartedMark);
    SetTimer(mainWindow, exitTimerId, exitDelayMs, nullptr);
    stereoOff();
    if (!saveSettings(0))
        reportError(controller.lastError);
    removeTrayIcon(mainWindow);
}

bool exitSequenceStarted(HWND mainWindow) {
    return GetWindowLongPtrA(mainWindow, GWLP_USERDATA) == exitStartedMark;
}

void endWithSession(HWND mainWindow) {
    saveSettings(0);
    removeTrayIcon(mainWindow);
}
