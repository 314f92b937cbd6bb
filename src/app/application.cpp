#include "app/application.h"

#include "app/main_window.h"
#include "code/controller_state.h"
#include "settings/error_codes.h"
#include "settings/error_report.h"

int runApplication(HINSTANCE instance) {
    controller.moduleInstance = instance;
    if (!registerMainWindowClass()) {
        controller.lastError = ErrorRegisterMainWindowClass;
        reportError(controller.lastError);
        return 0;
    }
    controller.mainWindow = createMainWindow();
    if (!controller.mainWindow) {
        controller.lastError = ErrorCreateMainWindow;
        reportError(controller.lastError);
        return 0;
    }
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    return 0;
}
