#include "app/application.h"

#include "app/command_line.h"
#include "app/main_window.h"
#include "app/single_instance.h"
#include "app/start_up_marks.h"
#include "code/controller_state.h"
#include "resource.h"
#include "server/server_classes.h"
#include "server/server_module.h"
#include "server/server_registration.h"
#include "settings/error_codes.h"
#include "settings/error_report.h"
#include "zezizer.h"

#include <objbase.h>

namespace {

// Gives calls that were on their way to the revoked class object time to end before the module
// and the component runtime go.
constexpr DWORD pauseAfterMessageLoopMs = 1000;

constexpr char machineRegistrationRefusedText[] =
    "Registering for every user needs an administrator; "
    "ZEZIZER.exe /RegServerPerUser registers for you alone.";

bool refusedForWantOfRights(HRESULT result) {
    return result == E_ACCESSDENIED || result == TYPE_E_REGISTRYACCESS;
}

// The application's keys do not decide the exit code; the class and the type library do. A user
// without an administrator's rights is told at once where the way for them is.
int registerAll(RegistrationScope scope) {
    applyRegistryScript(IDR_APPLICATION_SCRIPT, ScriptMode::Register, scope);
    const HRESULT result = registerServer(scope);
    if (scope == RegistrationScope::Machine && refusedForWantOfRights(result))
        reportError(ErrorNone, machineRegistrationRefusedText);
    return static_cast<int>(result);
}

// Always 0: what was not registered is not missed.
int unregisterAll(RegistrationScope scope) {
    applyRegistryScript(IDR_APPLICATION_SCRIPT, ScriptMode::Unregister, scope);
    return static_cast<int>(unregisterServer(scope));
}

// Registers the class and creates the hidden main window; a failure is reported.
bool openMainWindow() {
    if (!registerMainWindowClass()) {
        controller.lastError = ErrorRegisterMainWindowClass;
        reportError(controller.lastError);
        return false;
    }
    markStartUp(startUpMarkWindowClass);
    controller.mainWindow = createMainWindow();
    if (!controller.mainWindow) {
        controller.lastError = ErrorCreateMainWindow;
        reportError(controller.lastError);
        return false;
    }
    markStartUp(startUpMarkMainWindow);
    return true;
}

// Automation calls arrive as posted messages, and the system hands out posted messages before
// paints and timers. Clients calling without a pause would keep every code window from painting
// and from closing after its second, and the exit timer from firing, for as long as they call;
// so due paints and timers are taken first. False at the quit message, which a filtered peek
// hands out as well.
bool takeNextMessage(MSG& message) {
    for (UINT firstTurn : {WM_PAINT, WM_TIMER})
        if (PeekMessageA(&message, nullptr, firstTurn, firstTurn, PM_REMOVE))
            return message.message != WM_QUIT;
    return GetMessageA(&message, nullptr, 0, 0) > 0;
}

// Every window of the thread, and every call of an automation client, arrives here. The loop
// ends with the quit message that the exit sequence's timer posts.
void runMessageLoop() {
    MSG message;
    while (takeNextMessage(message))
        DispatchMessageA(&message);
}

// The tray program with its automation server. False when the main window could not be opened:
// the process then ends at once, without taking anything down.
bool runController() {
    // Without the monitor or the class object the controller runs on without its server.
    startShutdownMonitor();
    registerClassObjects(CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE);
    markStartUp(startUpMarkClassObject);
    const InstanceClaim claim;
    if (claim.held() && !controllerAlreadyRuns()) {
        if (!openMainWindow())
            return false;
        runMessageLoop();
    }
    revokeClassObjects();
    Sleep(pauseAfterMessageLoopMs);
    return true;
}

} // namespace

int runApplication(HINSTANCE instance) {
    markStartUp(startUpMarkEntry);
    controller.moduleInstance = instance;
    const char* commandLine = GetCommandLineA();
    CoInitialize(nullptr);
    markStartUp(startUpMarkApartment);
    initServerModule(instance, serverClasses(), LIBID_ZEZIZERLib);

    int exitCode = 0;
    switch (findRegistrationSwitch(commandLine)) {
    case RegistrationSwitch::Unregister:
        exitCode = unregisterAll(RegistrationScope::Machine);
        break;
    case RegistrationSwitch::Register:
        exitCode = registerAll(RegistrationScope::Machine);
        break;
    case RegistrationSwitch::UnregisterPerUser:
        exitCode = unregisterAll(RegistrationScope::User);
        break;
    case RegistrationSwitch::RegisterPerUser:
        exitCode = registerAll(RegistrationScope::User);
        break;
    case RegistrationSwitch::None:
        if (!runController())
            return 0;
        break;
    }
    terminateServerModule();
    CoUninitialize();
    return exitCode;
}
