#include "app/exit_sequence.h"

#include "app/main_window.h"
#include "app/tray_icon.h"
#include "code/commands.h"
#include "settings/error_report.h"
#include "settings/settings_store.h"

void runExitSequence(HWND mainWindow) {
    SetTimer(mainWindow, exitTimerId, exitDelayMs, nullptr);
    stereoOff();
    if (!saveSettings(0))
        reportError(controller.lastError);
    removeTrayIcon(mainWindow);
}
