#include "app/main_window.h"

#include "app/exit_sequence.h"
#include "app/hot_keys.h"
#include "app/menu_ids.h"
#include "app/start_up_marks.h"
#include "app/tray_icon.h"
#include "app/tray_menu.h"
#include "code/commands.h"
#include "code/controller_state.h"
#include "dialogs/about_dialog.h"
#include "dialogs/dialog_commands.h"
#include "dialogs/properties_dialog.h"
#include "resource.h"
#include "settings/error_codes.h"
#include "settings/error_report.h"
#include "settings/settings_store.h"

namespace {

constexpr UINT mainWindowClassStyle = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC;
// Holds back the left-click menu until a double click can no longer come.
constexpr UINT_PTR leftClickMenuTimerId = 50003;

LRESULT onCreate(HWND window) {
    allowTaskbarCreatedMessage(window);
    showTrayIcon(window);
    markStartUp(startUpMarkTrayIcon);
    makeVersionText();
    if (!loadOrResetSettings())
        reportError(controller.lastError);
    controller.propertiesWindow = nullptr;
    registerControllerHotKeys(window);
    return 0;
}

LRESULT onPaint(HWND window) {
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    EndPaint(window, &paint);
    return 0;
}

// Menu items that send one command.
struct CommandItem {
    MenuId id;
    DisplayCommand command;
};

constexpr CommandItem commandItems[] = {
    {MenuStereoNormal, StereoNormal},
    {MenuStereoReverse, StereoReverse},
    {MenuStereoOnResync, StereoOnResync},
    {MenuStereoOn, StereoOn},
    {MenuLcdMode1, LcdMode1},
    {MenuLcdMode2, LcdMode2},
    {MenuLcdModeOff, LcdModeOff},
};

// Menu items that change the stereo mode.
struct ModeItem {
    MenuId id;
    StereoMode mode;
};

constexpr ModeItem modeItems[] = {
    {MenuPageFlip, ModePageFlip},
    {MenuOverUnder, ModeOverUnder},
    {MenuInterleaved, ModeInterleaved},
};

enum class DialogFailure { Reported, Silent };

// Stereo goes off first; then the dialog opens unless one is open already.
void openProperties(HWND window, DialogFailure failure) {
    stereoOff();
    if (controller.propertiesWindow)
        return;
    if (!showPropertiesDialog(window)) {
        controller.lastError = ErrorCreatePropertiesDialog;
        if (failure == DialogFailure::Reported)
            reportError(controller.lastError);
    }
}

void openAbout(HWND window) {
    if (!showAboutDialog(window)) {
        controller.lastError = ErrorCreateAboutDialog;
        reportError(controller.lastError);
    }
}

void onCommand(HWND window, WORD id) {
    switch (id) {
    case MenuExit:
        runExitSequence(window);
        return;
    case MenuProperties:
        openProperties(window, DialogFailure::Reported);
        return;
    case MenuAbout:
        openAbout(window);
        return;
    case MenuStereoOff:
        stereoOff();
        return;
    }
    for (const CommandItem& item : commandItems)
        if (item.id == id)
            sendCommandReportingFailure(item.command);
    for (const ModeItem& item : modeItems)
        if (item.id == id)
            setMode(item.mode);
}

void onTrayNotify(HWND window, WPARAM iconId, LPARAM mouseMessage) {
    if (iconId != trayIconId)
        return;
    switch (mouseMessage) {
    case WM_LBUTTONDOWN:
        // Other hardware than the default takes no command from this menu. Shown at once, the
        // menu's modal loop would take the second click of a double click, which then never
        // arrives: it waits for the double-click time first. The right to take the foreground,
        // which a menu needs to close on a click elsewhere, comes with the click and may be gone
        // by then: it is taken now.
        if (controller.hardware == 0) {
            SetForegroundWindow(window);
            SetTimer(window, leftClickMenuTimerId, GetDoubleClickTime(), nullptr);
        }
        break;
    case WM_LBUTTONDBLCLK:
        KillTimer(window, leftClickMenuTimerId);
        openProperties(window, DialogFailure::Silent);
        break;
    case WM_RBUTTONDOWN:
        KillTimer(window, leftClickMenuTimerId);
        showPopupMenu(window, createRightClickMenu());
        break;
    }
}

// The left-click menu, once no double click came; not when the user has gone on to another
// window in the meantime, where the menu would not close again.
void showPendingLeftClickMenu(HWND window) {
    KillTimer(window, leftClickMenuTimerId);
    if (GetForegroundWindow() == window)
        showPopupMenu(window, createLeftClickMenu());
}

// The command of the first hot-key: the stereo-on command of the current mode.
DisplayCommand stereoOnCommandOfMode() {
    switch (controller.mode) {
    case ModeInterleaved:
        return StereoNormal;
    case ModePageFlip:
        return StereoOnResync;
    default:
        return StereoOn;
    }
}

void runHotKey(int id) {
    switch (id) {
    case hotKey1Id:
        sendCommandReportingFailure(stereoOnCommandOfMode());
        break;
    case hotKey2Id:
        if (controller.mode == ModeInterleaved)
            sendCommandReportingFailure(StereoReverse);
        break;
    case hotKey3Id:
        stereoOff();
        break;
    }
}

// The foreground stays where it is: a full-screen game that lost its activation even for a moment
// would lose its device or its input. Nothing in a command needs it (the code window never takes
// it); a failure's box comes to the front by itself.
LRESULT onHotKey(HWND window, int id, LPARAM chord) {
    // The Properties dialog edits the hot-keys and the mode: none acts while it is open.
    if (controller.propertiesWindow || isRepeatOfHeldChord(window, id, chord))
        return 0;
    runHotKey(id);
    return 0;
}

void onTimer(HWND window, UINT_PTR timerId) {
    switch (timerId) {
    case exitTimerId:
        PostQuitMessage(0);
        break;
    case leftClickMenuTimerId:
        showPendingLeftClickMenu(window);
        break;
    case trayIconRetryTimerId:
        retryTrayIcon(window);
        break;
    case heldChordTimerId:
        forgetReleasedChords(window);
        break;
    }
}

// A close request (a task manager, an installer, a launcher) ends the controller as Exit does,
// rather than leaving a process without a window.
LRESULT onClose(HWND window) {
    runExitSequence(window);
    return 0;
}

LRESULT onEndSession(HWND window, BOOL sessionEnds) {
    if (sessionEnds)
        endWithSession(window);
    return 0;
}

// The shell started again with an empty notification area.
void onTaskbarCreated(HWND window) {
    if (!exitSequenceStarted(window))
        showTrayIcon(window);
}

} // namespace

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        return onCreate(window);
    case WM_DESTROY:
        // The message loop ends through the exit timer, not through destruction.
        return 0;
    case WM_PAINT:
        return onPaint(window);
    case WM_COMMAND:
        onCommand(window, LOWORD(wParam));
        break;
    case WM_TIMER:
        onTimer(window, wParam);
        break;
    case WM_CLOSE:
        return onClose(window);
    case WM_ENDSESSION:
        return onEndSession(window, static_cast<BOOL>(wParam));
    case WM_HOTKEY:
        return onHotKey(window, static_cast<int>(wParam), lParam);
    case trayCallbackMessage:
        onTrayNotify(window, wParam, lParam);
        break;
    default:
        if (isTaskbarCreatedMessage(message))
            onTaskbarCreated(window);
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int registerMainWindowClass() {
    WNDCLASSA windowClass{};
    windowClass.style = mainWindowClassStyle;
    windowClass.lpfnWndProc = mainWindowProc;
    windowClass.hInstance = controller.moduleInstance;
    windowClass.hIcon = LoadIconA(controller.moduleInstance, MAKEINTRESOURCEA(IDI_CONTROLLER));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    windowClass.lpszClassName = controllerWindowClass;
    return RegisterClassA(&windowClass) ? 1 : 0;
}

HWND createMainWindow() {
    // Never shown: the tray icon is the window's only visible trace.
    return CreateWindowExA(0, controllerWindowClass, mainWindowTitle, WS_OVERLAPPEDWINDOW,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                           nullptr, controller.moduleInstance, nullptr);
}
