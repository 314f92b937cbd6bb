// A small Windows program through which the end-to-end tests reach the running controller from
// outside, as another program on the same desktop would:
//   lumo_probe wait-ready TIMEOUT_MS    exit 0 once the controller's main window answers messages
//   lumo_probe post-command ID [CLASS]  post WM_COMMAND ID to the controller's main window, or to
//                                       the window of that class
//   lumo_probe close                    ask the controller's main window to close (WM_CLOSE), as
//                                       taskkill without /f and installers do
//   lumo_probe drop-icon                take the controller's icon out of the notification area,
//                                       as a shell that ends loses it
//   lumo_probe shell-restarted          tell every program that the shell started again
//   lumo_probe hold-hotkey MODS VK      hold a global hot-key ("held" or "taken" on stdout, then
//                                       "pressed" for each press) until stdin closes
//   lumo_probe keep-desktop             keep Wine's desktop up ("ready" on stdout) until stdin
//                                       closes: Wine ends it after its last program otherwise
//   lumo_probe controls TITLE           what the shown window of that title shows: one line
//                                       "ID TEXT" for each control with an id, a hot-key control's
//                                       value in hex instead of its text
//   lumo_probe control-point TITLE ID   the middle of the control with that id in the shown window
//                                       of that title, on the desktop: "X Y"
//   lumo_probe play TITLE EXIT_CODE     play the game: show a window of that title in front
//                                       ("playing PID" on stdout); each line "front" on stdin
//                                       brings it to the front again; at the end of stdin it ends
//                                       with the exit code
//   lumo_probe front TITLE [TITLE...]   bring the windows of those titles to the front in turn,
//                                       100 ms apart (the last one stays)
//   lumo_probe terminate PID            end a process at once, as a crash or the task manager does
//   lumo_probe front-window             a program in front: a window from the top left corner over
//                                       the middle of the screen that takes the foreground
//                                       ("ready" or "not-foreground"), then until stdin closes
//                                       tells what it sees: "code topmost=0|1 region=TYPE L,T,R,B
//                                       centre=front|code|other" for each new code window (with
//                                       "moved L,T,R,B" for "code topmost=..." when one moves),
//                                       "clicked code=0|1", "gone foreground=front|other" when the
//                                       last has gone, "lost MESSAGE" when it loses the activation
//                                       or the focus
//   lumo_probe display-mode W H         "ready"; at the first line on stdin switch the display to
//                                       W x H ("switched" or "refused"), back when stdin closes

#include "support/test_names.h"

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

constexpr UINT answerTimeoutMs = 1000;
constexpr DWORD pollIntervalMs = 20;
constexpr int heldHotKeyId = 1;
constexpr UINT controllerIconId = 6666;
constexpr char taskbarCreated[] = "TaskbarCreated";

constexpr DWORD frontIntervalMs = 100;
constexpr UINT killedExitCode = 1;

int usage() {
    std::fputs("usage: lumo_probe wait-ready MS | post-command ID [CLASS] | close | drop-icon | "
               "shell-restarted | hold-hotkey MODS VK | keep-desktop | controls TITLE | "
               "control-point TITLE ID | front-window | display-mode W H | play TITLE EXIT_CODE | "
               "front TITLE... | "
               "terminate PID\n",
               stderr);
    return 2;
}

// The controller is ready once its window exists and its thread runs a message loop.
int waitReady(DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    do {
        HWND controller = FindWindowA(controllerWindowClass, nullptr);
        DWORD_PTR answer = 0;
        if (controller && SendMessageTimeoutA(controller, WM_NULL, 0, 0, SMTO_ABORTIFHUNG,
                                              answerTimeoutMs, &answer))
            return 0;
        Sleep(pollIntervalMs);
    } while (GetTickCount64() < deadline);
    return 1;
}

int postToController(UINT message, WPARAM wParam, const char* windowClass = controllerWindowClass) {
    HWND controller = FindWindowA(windowClass, nullptr);
    return controller && PostMessageA(controller, message, wParam, 0) ? 0 : 1;
}

int dropIcon() {
    NOTIFYICONDATAA icon{};
    icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    icon.hWnd = FindWindowA(controllerWindowClass, nullptr);
    icon.uID = controllerIconId;
    return icon.hWnd && Shell_NotifyIconA(NIM_DELETE, &icon) ? 0 : 1;
}

int announceShellRestart() {
    const UINT message = RegisterWindowMessageA(taskbarCreated);
    return message && PostMessageA(HWND_BROADCAST, message, 0, 0) ? 0 : 1;
}

void say(const char* line) {
    std::printf("%s\n", line);
    std::fflush(stdout);
}

HWND createProbeWindow() {
    return CreateWindowExA(0, "STATIC", "lumo probe", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                           nullptr, nullptr);
}

constexpr UINT frontAgainMessage = WM_APP + 1;

// Runs this thread's message loop until stdin closes; says "pressed" for each hot-key; a "front"
// line brings the window given to the front.
void runUntilStdinCloses(HWND frontWindow = nullptr) {
    const DWORD mainThread = GetCurrentThreadId();
    std::thread stdinWatch([mainThread] {
        char buffer[64];
        DWORD read = 0;
        while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof(buffer), &read, nullptr) &&
               read > 0)
            if (std::strstr(std::string(buffer, read).c_str(), "front"))
                PostThreadMessageA(mainThread, frontAgainMessage, 0, 0);
        PostThreadMessageA(mainThread, WM_QUIT, 0, 0);
    });
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_HOTKEY)
            say("pressed");
        else if (message.message == frontAgainMessage && frontWindow)
            SetForegroundWindow(frontWindow);
        else
            DispatchMessageA(&message);
    }
    stdinWatch.join();
}

int holdHotKey(UINT modifiers, UINT key) {
    HWND window = createProbeWindow();
    if (!window || !RegisterHotKey(window, heldHotKeyId, modifiers, key)) {
        say("taken");
        return 1;
    }
    say("held");
    runUntilStdinCloses();
    UnregisterHotKey(window, heldHotKeyId);
    DestroyWindow(window);
    return 0;
}

int keepDesktop() {
    HWND window = createProbeWindow();
    if (!window)
        return 1;
    say("ready");
    runUntilStdinCloses();
    DestroyWindow(window);
    return 0;
}

constexpr char frontWindowClass[] = "LumoProbeFront";
constexpr UINT_PTR codeWatchTimerId = 1;
constexpr UINT codeWatchIntervalMs = 10;
constexpr DWORD foregroundWithinMs = 5000;

HWND shownCodeWindow() {
    HWND window = FindWindowA(controllerCodeWindowClass, nullptr);
    return window && IsWindowVisible(window) ? window : nullptr;
}

POINT screenCentre() {
    return {GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2};
}

// A new code window, or with moved the new place of one.
void sayCodeWindow(HWND front, HWND code, const RECT* moved = nullptr) {
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    const int type = GetWindowRgn(code, region);
    RECT box{};
    GetRgnBox(region, &box);
    DeleteObject(region);
    const char* types[] = {"error", "null", "simple", "complex"};
    HWND atCentre = WindowFromPoint(screenCentre());
    if (moved)
        std::printf("moved %ld,%ld,%ld,%ld", moved->left, moved->top, moved->right, moved->bottom);
    else
        std::printf("code topmost=%d", (GetWindowLongA(code, GWL_EXSTYLE) & WS_EX_TOPMOST) ? 1 : 0);
    std::printf(" region=%s %ld,%ld,%ld,%ld centre=%s\n",
                type >= ERROR && type <= COMPLEXREGION ? types[type] : "?", box.left, box.top,
                box.right, box.bottom,
                atCentre == front  ? "front"
                : atCentre == code ? "code"
                                   : "other");
    std::fflush(stdout);
}

// Watches for code windows: each new one, a change of the newest one's place or size, and the
// end of the last one.
void onCodeWatch(HWND front) {
    static HWND lastCode = nullptr;
    static RECT lastRect{};
    HWND code = shownCodeWindow();
    RECT rect{};
    if (code)
        GetWindowRect(code, &rect);
    if (code && code != lastCode)
        sayCodeWindow(front, code);
    else if (code && !EqualRect(&rect, &lastRect))
        sayCodeWindow(front, code, &rect);
    else if (!code && lastCode)
        say(GetForegroundWindow() == front ? "gone foreground=front" : "gone foreground=other");
    lastCode = code;
    lastRect = rect;
}

LRESULT CALLBACK frontWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
        onCodeWatch(window);
        return 0;
    case WM_LBUTTONDOWN:
        say(shownCodeWindow() ? "clicked code=1" : "clicked code=0");
        return 0;
    // What a full-screen game cannot bear: losing its activation or its focus.
    case WM_ACTIVATEAPP:
    case WM_ACTIVATE:
    case WM_KILLFOCUS:
        if (message == WM_KILLFOCUS || LOWORD(wParam) == WA_INACTIVE)
            say(message == WM_KILLFOCUS  ? "lost WM_KILLFOCUS"
                : message == WM_ACTIVATE ? "lost WM_ACTIVATE"
                                         : "lost WM_ACTIVATEAPP");
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int frontWindow() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = frontWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = frontWindowClass;
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    HWND window = RegisterClassA(&windowClass)
                      ? CreateWindowExA(0, frontWindowClass, "lumo probe front",
                                        WS_POPUP | WS_VISIBLE, 0, 0, width * 3 / 4, height * 3 / 4,
                                        nullptr, nullptr, windowClass.hInstance, nullptr)
                      : nullptr;
    if (!window)
        return 1;
    SetForegroundWindow(window);
    const ULONGLONG deadline = GetTickCount64() + foregroundWithinMs;
    while (GetForegroundWindow() != window && GetTickCount64() < deadline)
        Sleep(pollIntervalMs);
    say(GetForegroundWindow() == window ? "ready" : "not-foreground");
    SetTimer(window, codeWatchTimerId, codeWatchIntervalMs, nullptr);
    runUntilStdinCloses();
    DestroyWindow(window);
    return 0;
}

// Switches at the first line on stdin, at once: the test has a code on the screen by then.
int displayMode(DWORD width, DWORD height) {
    say("ready");
    char line[64];
    DWORD read = 0;
    if (!ReadFile(GetStdHandle(STD_INPUT_HANDLE), line, sizeof(line), &read, nullptr) || !read)
        return 1;
    DEVMODEA mode{};
    mode.dmSize = sizeof(mode);
    mode.dmPelsWidth = width;
    mode.dmPelsHeight = height;
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
    const bool switched = ChangeDisplaySettingsA(&mode, 0) == DISP_CHANGE_SUCCESSFUL;
    say(switched ? "switched" : "refused");
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), line, sizeof(line), &read, nullptr) && read)
        ;
    return ChangeDisplaySettingsA(nullptr, 0) == DISP_CHANGE_SUCCESSFUL && switched ? 0 : 1;
}

// A game's window: a visible top-level window in front, until stdin closes.
int play(const char* title, UINT exitCode) {
    HWND window = CreateWindowExA(0, "STATIC", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100,
                                  320, 200, nullptr, nullptr, nullptr, nullptr);
    if (!window)
        return usage();
    SetForegroundWindow(window);
    std::printf("playing %lu\n", GetCurrentProcessId());
    std::fflush(stdout);
    runUntilStdinCloses(window);
    DestroyWindow(window);
    return static_cast<int>(exitCode);
}

int bringToFront(int count, char** titles) {
    for (int i = 0; i < count; ++i) {
        HWND window = FindWindowA(nullptr, titles[i]);
        if (!window || !SetForegroundWindow(window))
            return 1;
        if (i + 1 < count)
            Sleep(frontIntervalMs);
    }
    return 0;
}

int terminate(DWORD processId) {
    HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, processId);
    const bool ended = process && TerminateProcess(process, killedExitCode);
    if (process)
        CloseHandle(process);
    return ended ? 0 : 1;
}

constexpr int controlTextSize = 256;
constexpr int noControlId = 0xFFFF;

BOOL CALLBACK printControl(HWND control, LPARAM) {
    char className[controlTextSize] = "";
    GetClassNameA(control, className, controlTextSize);
    // Controls without an id of their own are fixed texts and pictures.
    const int id = static_cast<WORD>(GetDlgCtrlID(control));
    if (id == noControlId)
        return TRUE;
    if (std::strcmp(className, HOTKEY_CLASSA) == 0) {
        std::printf("%d 0x%lX\n", id,
                    static_cast<unsigned long>(SendMessageA(control, HKM_GETHOTKEY, 0, 0)));
        return TRUE;
    }
    char text[controlTextSize] = "";
    // A drop-down list answers another process's WM_GETTEXT with nothing: its chosen item.
    const LRESULT chosen = SendMessageA(control, CB_GETCURSEL, 0, 0);
    if (std::strcmp(className, WC_COMBOBOXA) != 0)
        GetWindowTextA(control, text, controlTextSize);
    else if (chosen != CB_ERR &&
             SendMessageW(control, CB_GETLBTEXTLEN, chosen, 0) < controlTextSize) {
        // Between processes the item text comes whole only in the wide form.
        wchar_t item[controlTextSize] = L"";
        SendMessageW(control, CB_GETLBTEXT, chosen, reinterpret_cast<LPARAM>(item));
        WideCharToMultiByte(CP_ACP, 0, item, -1, text, controlTextSize, nullptr, nullptr);
    }
    std::printf("%d %s\n", id, text);
    return TRUE;
}

int printControls(const char* title) {
    HWND window = FindWindowA(nullptr, title);
    if (!window)
        return 1;
    EnumChildWindows(window, printControl, 0);
    return 0;
}

int printControlPoint(const char* title, int id) {
    HWND window = FindWindowA(nullptr, title);
    HWND control = window ? GetDlgItem(window, id) : nullptr;
    RECT place{};
    if (!control || !GetWindowRect(control, &place))
        return 1;
    std::printf("%ld %ld\n", (place.left + place.right) / 2, (place.top + place.bottom) / 2);
    return 0;
}

unsigned long number(const char* text) {
    return std::strtoul(text, nullptr, 0);
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "wait-ready") == 0)
        return waitReady(number(argv[2]));
    if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "post-command") == 0)
        return postToController(WM_COMMAND, static_cast<WORD>(number(argv[2])),
                                argc == 4 ? argv[3] : controllerWindowClass);
    if (argc == 2 && std::strcmp(argv[1], "close") == 0)
        return postToController(WM_CLOSE, 0);
    if (argc == 2 && std::strcmp(argv[1], "drop-icon") == 0)
        return dropIcon();
    if (argc == 2 && std::strcmp(argv[1], "shell-restarted") == 0)
        return announceShellRestart();
    if (argc == 4 && std::strcmp(argv[1], "hold-hotkey") == 0)
        return holdHotKey(number(argv[2]), number(argv[3]));
    if (argc == 2 && std::strcmp(argv[1], "keep-desktop") == 0)
        return keepDesktop();
    if (argc == 3 && std::strcmp(argv[1], "controls") == 0)
        return printControls(argv[2]);
    if (argc == 4 && std::strcmp(argv[1], "control-point") == 0)
        return printControlPoint(argv[2], static_cast<int>(number(argv[3])));
    if (argc == 2 && std::strcmp(argv[1], "front-window") == 0)
        return frontWindow();
    if (argc == 4 && std::strcmp(argv[1], "display-mode") == 0)
        return displayMode(number(argv[2]), number(argv[3]));
    if (argc == 4 && std::strcmp(argv[1], "play") == 0)
        return play(argv[2], number(argv[3]));
    if (argc >= 3 && std::strcmp(argv[1], "front") == 0)
        return bringToFront(argc - 2, argv + 2);
    if (argc == 3 && std::strcmp(argv[1], "terminate") == 0)
        return terminate(number(argv[2]));
    return usage();
}
