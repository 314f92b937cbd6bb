// The hidden main window driven as the tray and the keyboard drive it: tray clicks, menu
// choices and hot-keys, with the state, the stored settings and the code windows they leave.

#include "app/hot_keys.h"
#include "app/main_window.h"
#include "app/tray_icon.h"
#include "code/code_window.h"
#include "code/controller_state.h"
#include "settings/settings_store.h"
#include "support/code_on_screen.h"
#include "support/dialog_driver.h"
#include "support/hot_key_holder.h"
#include "support/import_patch.h"
#include "support/message_box.h"
#include "support/popup_menu.h"
#include "support/fresh_controller.h"
#include "support/registry.h"
#include "support/tray_menus.h"
#include "support/wait.h"
#include "support/window_log.h"
#include "support/windows.h"
#include "support/test_names.h"

#include <gtest/gtest.h>

#include <shellapi.h>

#include <optional>
#include <string>
#include <vector>

namespace {

constexpr UINT trayMessage = 666;
constexpr WPARAM trayIcon = 6666;
constexpr int hotKeyNormal = 30003;
constexpr int hotKeyReverse = 30002;
constexpr int hotKeyOff = 30001;
constexpr int32_t ctrlF10 = 0x279;
constexpr int32_t ctrlF9 = 0x278;
constexpr int32_t noCode = 0;
constexpr int propertiesCancel = 1004;
constexpr ULONGLONG quitTimeoutMs = 30000;

class MainWindow : public testing::Test {
  protected:
    void SetUp() override {
        startFreshController();
        static const int classRegistered = registerMainWindowClass();
        ASSERT_EQ(classRegistered, 1);
    }

    void TearDown() override {
        closeCodeWindows();
        if (window) {
            removeTrayIcon(window);
            DestroyWindow(window);
        }
        deleteCorvaneKey();
    }

    // Creates the window as the program does at start; false when it could not.
    bool create() {
        window = createMainWindow();
        controller.mainWindow = window;
        return window != nullptr;
    }

    // Creates the window over settings stored by this very version.
    bool createOverStoredSettings(int32_t mode, int32_t active, int32_t reverse, int32_t lcdMode,
                                  int32_t hotKey1) {
        makeVersionText();
        writeText(testControllerKey, "Version", controller.version);
        writeDword(testControllerKey, "Active", active);
        writeDword(testControllerKey, "Reverse", reverse);
        writeDword(testControllerKey, "Tested", 1);
        writeDword(testSettingsKey, "Hardware", 0);
        writeDword(testSettingsKey, "Mode", mode);
        writeDword(testSettingsKey, "LCD Mode", lcdMode);
        writeDword(testSettingsKey, "Hot-Key 1", hotKey1);
        writeDword(testSettingsKey, "Hot-Key 2", 0x27A);
        writeDword(testSettingsKey, "Hot-Key 3", 0x27B);
        return create();
    }

    void command(WORD id) { SendMessageA(window, WM_COMMAND, id, 0); }
    void hotKey(int id) { SendMessageA(window, WM_HOTKEY, id, 0); }
    void trayNotify(LPARAM mouseMessage, WPARAM icon = trayIcon) {
        SendMessageA(window, trayMessage, icon, mouseMessage);
    }

    // The menus that one tray message showed (each closed again with Escape). The left-click
    // menu comes once the double-click time has passed.
    std::vector<SeenPopupMenu> menusOf(LPARAM mouseMessage, WPARAM icon = trayIcon) {
        PopupMenuWatcher watcher;
        trayNotify(mouseMessage, icon);
        if (mouseMessage == WM_LBUTTONDOWN)
            waitUntil([&] { return !watcher.seen().empty(); }, GetDoubleClickTime() + 1000);
        return watcher.seen();
    }

    // The code windows that are open now; commands show their code synchronously.
    static size_t codeWindowsOpen() { return topLevelWindowsOfClass(codeWindowClassName).size(); }

    HWND window = nullptr;
};

TEST_F(MainWindow, ARightClickShowsTheControllerMenuThenAboutPropertiesAndExit) {
    ASSERT_TRUE(create());
    const auto menus = menusOf(WM_RBUTTONDOWN);
    ASSERT_EQ(menus.size(), 1u);
    EXPECT_EQ(menus[0].items, rightClickMenuOf(interleavedOffMenu));
    EXPECT_FALSE(IsMenu(menus[0].menu)) << "the menu was not destroyed after use";
}

TEST_F(MainWindow, ALeftClickShowsTheControllerMenuAloneAtTheCursor) {
    ASSERT_TRUE(create());
    ASSERT_TRUE(SetCursorPos(200, 150));
    const auto menus = menusOf(WM_LBUTTONDOWN);
    ASSERT_EQ(menus.size(), 1u);
    EXPECT_EQ(menus[0].items, interleavedOffMenu);
    EXPECT_EQ(menus[0].topLeft.x, 200);
    EXPECT_EQ(menus[0].topLeft.y, 150);
    EXPECT_FALSE(IsMenu(menus[0].menu));
}

TEST_F(MainWindow, WithOtherHardwareALeftClickShowsNothingAndARightClickOnlyTheWindowItems) {
    ASSERT_TRUE(create());
    controller.hardware = 1;
    EXPECT_TRUE(menusOf(WM_LBUTTONDOWN).empty());
    const auto menus = menusOf(WM_RBUTTONDOWN);
    ASSERT_EQ(menus.size(), 1u);
    EXPECT_EQ(menus[0].items, windowMenuItems);
}

TEST_F(MainWindow, OtherMouseMessagesAndOtherIconsShowNoMenu) {
    ASSERT_TRUE(create());
    for (LPARAM mouse :
         {WM_LBUTTONUP, WM_RBUTTONUP, WM_MOUSEMOVE, WM_RBUTTONDBLCLK, WM_MBUTTONDOWN})
        EXPECT_TRUE(menusOf(mouse).empty()) << "mouse message " << mouse;
    EXPECT_TRUE(menusOf(WM_RBUTTONDOWN, trayIcon + 1).empty());
    EXPECT_TRUE(menusOf(WM_LBUTTONDOWN, 0).empty());
}

// A right click or a double click ends a left click's wait for its menu: only the right-click
// menu, or the dialog, is seen.
TEST_F(MainWindow, ARightClickCancelsTheMenuOfAPendingLeftClick) {
    ASSERT_TRUE(create());
    PopupMenuWatcher watcher;
    trayNotify(WM_LBUTTONDOWN);
    trayNotify(WM_RBUTTONDOWN);
    ASSERT_EQ(watcher.seen().size(), 1u);
    EXPECT_FALSE(waitUntil([&] { return watcher.seen().size() > 1; }, GetDoubleClickTime() + 1000))
        << "the left-click menu came after the right-click one";
    EXPECT_EQ(watcher.seen()[0].items, rightClickMenuOf(interleavedOffMenu));
}

// A click on the icon that the open menu's own loop hands on opens no menu inside it.
TEST_F(MainWindow, NoMenuOpensWhileAnotherIsOpen) {
    ASSERT_TRUE(create());
    PopupMenuWatcher watcher;
    PostMessageA(window, trayMessage, trayIcon, WM_RBUTTONDOWN);
    trayNotify(WM_RBUTTONDOWN);
    MSG queued;
    EXPECT_FALSE(PeekMessageA(&queued, window, trayMessage, trayMessage, PM_NOREMOVE))
        << "the menu's loop did not hand the click on";
    EXPECT_EQ(watcher.seen().size(), 1u);
}

// What each command then changes and stores is the commands' own concern.
TEST_F(MainWindow, EachStereoAndLcdItemSendsItsCommand) {
    const std::pair<WORD, int32_t> items[] = {
        {40011, 1}, {40012, 2}, {40013, 1000}, {40014, 3},
        {40015, 4}, {40501, 5}, {40505, 7},    {40502, 6},
    };
    ASSERT_TRUE(create());
    for (const auto& [id, code] : items) {
        controller.currentCode = noCode;
        command(id);
        EXPECT_EQ(controller.currentCode, code) << "item " << id;
        EXPECT_EQ(codeWindowsOpen(), 1u) << "item " << id;
        closeCodeWindows();
    }
    EXPECT_EQ(readDword(testSettingsKey, "LCD Mode"), 2u) << "the last item's state was not stored";
}

TEST_F(MainWindow, OnlyTheLowWordOfTheCommandCounts) {
    ASSERT_TRUE(create());
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(40012, 1), 0);
    EXPECT_EQ(controller.currentCode, StereoReverse);
    EXPECT_EQ(controller.reverse, 1);
}

TEST_F(MainWindow, AModeItemSwitchesStereoOffFirstAndStoresTheModeUntested) {
    struct ModeCase {
        WORD id;
        int32_t mode;
    };
    ASSERT_TRUE(create());
    for (const ModeCase item :
         {ModeCase{40004, 1}, ModeCase{40005, 2}, ModeCase{40006, 0}, ModeCase{40006, 0}}) {
        controller.active = 1;
        controller.tested = 1;
        controller.currentCode = noCode;
        command(item.id);
        EXPECT_EQ(controller.currentCode, StereoOff) << "item " << item.id;
        EXPECT_EQ(codeWindowsOpen(), 1u) << "item " << item.id;
        EXPECT_EQ(controller.active, 0);
        EXPECT_EQ(controller.mode, item.mode);
        EXPECT_EQ(controller.tested, 0);
        EXPECT_EQ(readDword(testSettingsKey, "Mode"), uint32_t(item.mode));
        EXPECT_EQ(readDword(testControllerKey, "Tested"), 0u);
        EXPECT_EQ(readDword(testControllerKey, "Active"), 0u);
        closeCodeWindows();
    }
}

TEST_F(MainWindow, OtherIdsDoNothingAndStoreNothing) {
    ASSERT_TRUE(create());
    // Changed in memory only: a save would show in the registry.
    controller.mode = ModeOverUnder;
    controller.active = 1;
    for (WORD id : {0, 40000, 40007, 40008, 40009, 40010, 40016, 40500, 40503, 40504, 40506}) {
        command(id);
        EXPECT_EQ(controller.currentCode, noCode) << "item " << id;
        EXPECT_EQ(controller.active, 1) << "item " << id;
    }
    EXPECT_EQ(codeWindowsOpen(), 0u);
    EXPECT_EQ(readDword(testSettingsKey, "Mode"), 0u);
    EXPECT_EQ(readDword(testControllerKey, "Active"), 0u);
}

TEST_F(MainWindow, PropertiesSwitchesStereoOffThenOpensOneDialogThatMutesTheHotKeys) {
    ASSERT_TRUE(create());
    controller.active = 1;
    struct {
        int32_t codeAtOpening = noCode;
        HWND owner = nullptr;
        bool marked = false;
        int32_t activeAfterSecondChoice = -1;
        int32_t codeAfterHotKeys = noCode;
        int32_t activeAfterDoubleClick = -1;
        size_t dialogsOpen = 0;
    } seen;
    driveDialog(
        propertiesDialogTitle, [&] { command(40002); },
        [&](HWND dialog) {
            seen.codeAtOpening = controller.currentCode;
            seen.owner = GetWindow(dialog, GW_OWNER);
            seen.marked = controller.propertiesWindow == dialog;
            // Stereo on again, then Properties once more: stereo goes off, no second dialog.
            PostMessageA(window, WM_COMMAND, 40011, 0);
            PostMessageA(window, WM_COMMAND, 40002, 0);
            waitForDialogThread();
            seen.activeAfterSecondChoice = controller.active;
            controller.currentCode = noCode;
            for (int id : {hotKeyNormal, hotKeyReverse, hotKeyOff})
                PostMessageA(window, WM_HOTKEY, id, 0);
            waitForDialogThread();
            seen.codeAfterHotKeys = controller.currentCode;
            PostMessageA(window, WM_COMMAND, 40011, 0);
            PostMessageA(window, trayMessage, trayIcon, WM_LBUTTONDBLCLK);
            waitForDialogThread();
            seen.activeAfterDoubleClick = controller.active;
            seen.dialogsOpen = visibleDialogs(propertiesDialogTitle).size();
            click(dialog, propertiesCancel);
        });
    EXPECT_EQ(seen.codeAtOpening, StereoOff) << "stereo was not switched off first";
    EXPECT_EQ(seen.owner, window);
    EXPECT_TRUE(seen.marked);
    EXPECT_EQ(seen.activeAfterSecondChoice, 0);
    EXPECT_EQ(seen.codeAfterHotKeys, noCode) << "a hot-key acted while the dialog was open";
    EXPECT_EQ(seen.activeAfterDoubleClick, 0);
    EXPECT_EQ(seen.dialogsOpen, 1u);
    EXPECT_EQ(controller.propertiesWindow, nullptr);
}

TEST_F(MainWindow, ADoubleClickSwitchesStereoOffThenOpensThePropertiesDialogWithoutTheMenu) {
    ASSERT_TRUE(create());
    controller.active = 1;
    HWND owner = nullptr;
    int32_t codeAtOpening = noCode;
    PopupMenuWatcher menus;
    // What the shell sends for a double click: the first click, then the double click.
    trayNotify(WM_LBUTTONDOWN);
    trayNotify(WM_LBUTTONUP);
    driveDialog(
        propertiesDialogTitle, [&] { trayNotify(WM_LBUTTONDBLCLK); },
        [&](HWND dialog) {
            owner = GetWindow(dialog, GW_OWNER);
            codeAtOpening = controller.currentCode;
            click(dialog, propertiesCancel);
        });
    EXPECT_EQ(owner, window);
    EXPECT_EQ(codeAtOpening, StereoOff);
    EXPECT_EQ(controller.active, 0);
    EXPECT_EQ(readDword(testControllerKey, "Active"), 0u);
    pumpMessagesFor(GetDoubleClickTime() + 500);
    EXPECT_TRUE(menus.seen().empty()) << "the left-click menu came too";
}

TEST_F(MainWindow, AboutOpensTheBoxAndTheHotKeysStillAct) {
    ASSERT_TRUE(create());
    controller.active = 1;
    HWND owner = nullptr;
    int32_t activeAfterHotKey = -1;
    driveDialog(
        aboutBoxTitle, [&] { command(40003); },
        [&](HWND dialog) {
            owner = GetWindow(dialog, GW_OWNER);
            PostMessageA(window, WM_HOTKEY, hotKeyOff, 0);
            waitForDialogThread();
            activeAfterHotKey = controller.active;
            click(dialog, IDOK);
        });
    EXPECT_EQ(owner, window);
    EXPECT_EQ(activeAfterHotKey, 0);
    EXPECT_EQ(controller.currentCode, StereoOff);
}

TEST_F(MainWindow, DialogsThatCannotBeCreatedAreReportedFromTheMenuButNotFromADoubleClick) {
    ASSERT_TRUE(create());
    struct FailureCase {
        const char* title;
        WORD id;
        const char* message;
    };
    for (const FailureCase& item :
         {FailureCase{propertiesDialogTitle, 40002, "Cannot create Properties Dialog."},
          FailureCase{aboutBoxTitle, 40003, "Cannot create About Dialog."}}) {
        WindowRefusal refusal(item.title);
        ASSERT_TRUE(refusal.active());
        MessageBoxWatcher boxes({controllerErrorCaption}, IDOK);
        command(item.id);
        EXPECT_TRUE(answeredOneBox(boxes, item.message)) << item.title;
    }

    WindowRefusal refusal(propertiesDialogTitle);
    MessageBoxWatcher boxes({controllerErrorCaption}, IDOK);
    trayNotify(WM_LBUTTONDBLCLK);
    EXPECT_TRUE(boxes.seen().empty());
    EXPECT_EQ(controller.lastError, 34);
}

// Exit from the menu, or a close request from another program (a task manager, an installer).
class MainWindowExit : public MainWindow, public testing::WithParamInterface<UINT> {};

TEST_P(MainWindowExit, ShowsTheStereoOffCodeStoresAndEndsTheLoopOneAndAHalfSecondsLater) {
    ASSERT_TRUE(create());
    controller.active = 1;
    controller.mode = ModePageFlip; // in memory only, so the exit's save shows
    const ULONGLONG chosen = GetTickCount64();
    SendMessageA(window, GetParam(), GetParam() == WM_COMMAND ? 40001 : 0, 0);
    EXPECT_EQ(controller.currentCode, StereoOff);
    EXPECT_EQ(codeWindowsOpen(), 1u);
    EXPECT_EQ(readDword(testControllerKey, "Active"), 0u);
    EXPECT_EQ(readDword(testSettingsKey, "Mode"), 1u);
    // The window lives on until the process ends; a second request starts nothing more.
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(codeWindowsOpen(), 1u);

    bool quit = false;
    // A bound for a hung loop only: how soon the quit comes is the bench's to measure.
    const ULONGLONG deadline = chosen + quitTimeoutMs;
    while (!quit && GetTickCount64() < deadline) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT)
                quit = true;
            DispatchMessageA(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    const ULONGLONG elapsed = GetTickCount64() - chosen;
    ASSERT_TRUE(quit) << "no quit message";
    EXPECT_GE(elapsed, 1400u) << "the stereo-off code had no time on the screen";
    // The exit timer is never killed: stop it here, so it posts no quit to later tests.
    KillTimer(window, 50002);
}

INSTANTIATE_TEST_SUITE_P(ByMenuOrCloseRequest, MainWindowExit,
                         testing::Values(WM_COMMAND, WM_CLOSE));

// At log-off the process ends without the exit's timer: what is in memory is stored at once, and
// no code is shown to a screen that is going away.
// At log-on the shell may not take the icon yet, and says nothing when it is ready.
int failedTrayAdds = 0;
void* originalShellNotifyIcon = nullptr;

BOOL WINAPI shellRefusingTwoAdds(DWORD action, PNOTIFYICONDATAA record) {
    if (action == NIM_ADD && failedTrayAdds < 2) {
        ++failedTrayAdds;
        return FALSE;
    }
    return reinterpret_cast<decltype(&Shell_NotifyIconA)>(originalShellNotifyIcon)(action, record);
}

bool trayIconThere(HWND window) {
    NOTIFYICONDATAA record{};
    record.cbSize = NOTIFYICONDATAA_V1_SIZE;
    record.hWnd = window;
    record.uID = trayIcon;
    return reinterpret_cast<decltype(&Shell_NotifyIconA)>(originalShellNotifyIcon)(NIM_MODIFY,
                                                                                   &record);
}

TEST_F(MainWindow, AnIconTheShellDidNotTakeIsAddedAgainUntilItIsThere) {
    ImportPatch shell("shell32.dll", "Shell_NotifyIconA",
                      reinterpret_cast<void*>(shellRefusingTwoAdds));
    ASSERT_TRUE(shell.active());
    originalShellNotifyIcon = shell.original();
    failedTrayAdds = 0;
    ASSERT_TRUE(create());
    EXPECT_FALSE(trayIconThere(window));
    EXPECT_TRUE(waitUntil([&] { return trayIconThere(window); }, 15000)) << "never added again";
    EXPECT_EQ(failedTrayAdds, 2);
}

// A controller run as administrator hears the restarted shell's broadcast only when it lets it
// through its message filter; the filter exists from Windows 7 on and is looked up at run time.
struct SeenFilterChange {
    HWND window = nullptr;
    UINT message = 0;
    DWORD action = 0;
} filterChange;
void* originalGetProcAddress = nullptr;

BOOL WINAPI recordFilterChange(HWND window, UINT message, DWORD action, void*) {
    filterChange = {window, message, action};
    return TRUE;
}

FARPROC WINAPI procAddressWithRecordedFilter(HMODULE module, LPCSTR name) {
    if (HIWORD(reinterpret_cast<ULONG_PTR>(name)) &&
        std::string(name) == "ChangeWindowMessageFilterEx")
        return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(recordFilterChange));
    return reinterpret_cast<decltype(&GetProcAddress)>(originalGetProcAddress)(module, name);
}

TEST_F(MainWindow, LetsTheShellsRestartThroughTheMessageFilter) {
    ImportPatch lookUp("kernel32.dll", "GetProcAddress",
                       reinterpret_cast<void*>(procAddressWithRecordedFilter));
    ASSERT_TRUE(lookUp.active());
    originalGetProcAddress = lookUp.original();
    filterChange = {};
    ASSERT_TRUE(create());
    constexpr DWORD allow = 1;
    EXPECT_EQ(filterChange.window, window);
    EXPECT_EQ(filterChange.message, RegisterWindowMessageA("TaskbarCreated"));
    EXPECT_EQ(filterChange.action, allow);
}

TEST_F(MainWindow, TheEndOfTheSessionStoresTheSettingsAndShowsNothing) {
    ASSERT_TRUE(create());
    controller.mode = ModePageFlip; // in memory only
    SendMessageA(window, WM_ENDSESSION, FALSE, 0);
    EXPECT_EQ(readDword(testSettingsKey, "Mode"), 0u) << "stored though the user stays logged on";
    SendMessageA(window, WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(readDword(testSettingsKey, "Mode"), 1u);
    EXPECT_EQ(codeWindowsOpen(), 0u);
}

struct HotKeyCase {
    int32_t mode;
    int id;
    int32_t code;
};

TEST_F(MainWindow, HotKeysSendTheCommandOfTheMode) {
    const HotKeyCase cases[] = {
        {0, hotKeyNormal, 1},       {1, hotKeyNormal, 3},  {2, hotKeyNormal, 4},
        {7, hotKeyNormal, 4},       {0, hotKeyReverse, 2}, {1, hotKeyReverse, noCode},
        {2, hotKeyReverse, noCode}, {0, hotKeyOff, 1000},  {1, hotKeyOff, 1000},
        {2, hotKeyOff, 1000},       {0, 30004, noCode},    {0, 1, noCode},
    };
    ASSERT_TRUE(create());
    for (const HotKeyCase& item : cases) {
        controller.mode = item.mode;
        controller.active = 1;
        controller.currentCode = noCode;
        hotKey(item.id);
        EXPECT_EQ(controller.currentCode, item.code) << "mode " << item.mode << ", id " << item.id;
        EXPECT_EQ(codeWindowsOpen(), item.code == noCode ? 0u : 1u)
            << "mode " << item.mode << ", id " << item.id;
        EXPECT_EQ(controller.active, item.code == StereoOff ? 0 : 1);
        closeCodeWindows();
    }
}

TEST_F(MainWindow, AHotKeyTakenByAnotherProgramLeavesItsCodeAndTheOthersStillWork) {
    HotKeyHolder other;
    ASSERT_TRUE(other.take(MOD_CONTROL, VK_F11));
    ASSERT_TRUE(create());
    EXPECT_EQ(controller.lastError, 38);

    pressChord({VK_CONTROL, VK_F10});
    EXPECT_TRUE(waitUntil([] { return controller.currentCode == StereoNormal; }, 2000));
    pressChord({VK_CONTROL, VK_F12});
    EXPECT_TRUE(waitUntil([] { return controller.currentCode == StereoOff; }, 2000));
}

TEST_F(MainWindow, ChangingAHotKeyFreesTheOldCombinationAndTheNewOneFires) {
    ASSERT_TRUE(create());
    ASSERT_FALSE(combinationFree(MOD_CONTROL, VK_F10));
    // As the Properties dialog does it.
    ASSERT_TRUE(registerHotKey(window, hotKeyNormal, ctrlF9));

    HotKeyHolder other;
    EXPECT_TRUE(other.take(MOD_CONTROL, VK_F10)) << "the old combination stayed registered";
    pressChord({VK_CONTROL, VK_F9});
    EXPECT_TRUE(waitUntil([] { return controller.currentCode == StereoNormal; }, 2000));
}

// The modifiers of each RegisterHotKey call; MOD_NOREPEAT refused as Vista refuses it.
std::vector<UINT> registeredModifiers;
void* originalRegisterHotKey = nullptr;

BOOL WINAPI registerHotKeyRefusingNoRepeat(HWND window, int id, UINT modifiers, UINT key) {
    registeredModifiers.push_back(modifiers);
    if (modifiers & MOD_NOREPEAT)
        return FALSE;
    return reinterpret_cast<decltype(&RegisterHotKey)>(originalRegisterHotKey)(window, id,
                                                                               modifiers, key);
}

TEST_F(MainWindow, HotKeysAskForNoRepeatsAndAreRegisteredWithoutWhereTheSystemRefuses) {
    ImportPatch patch("user32.dll", "RegisterHotKey",
                      reinterpret_cast<void*>(registerHotKeyRefusingNoRepeat));
    ASSERT_TRUE(patch.active());
    originalRegisterHotKey = patch.original();
    registeredModifiers.clear();
    ASSERT_TRUE(create());
    constexpr UINT asked = MOD_CONTROL | MOD_NOREPEAT;
    EXPECT_EQ(registeredModifiers,
              (std::vector<UINT>{asked, MOD_CONTROL, asked, MOD_CONTROL, asked, MOD_CONTROL}));
    EXPECT_EQ(controller.lastError, 0);
    pressChord({VK_CONTROL, VK_F12});
    EXPECT_TRUE(waitUntil([] { return controller.currentCode == StereoOff; }, 2000));
}

TEST_F(MainWindow, MatchingSettingsAreLoadedAndTheMenuShowsThemChecked) {
    ASSERT_TRUE(createOverStoredSettings(ModePageFlip, 1, 0, 2, ctrlF10));
    EXPECT_EQ(controller.mode, ModePageFlip);
    EXPECT_EQ(controller.tested, 1);
    const auto menus = menusOf(WM_RBUTTONDOWN);
    ASSERT_EQ(menus.size(), 1u);
    EXPECT_EQ(
        menus[0].items,
        rightClickMenuOf({"Interleaved (40006)", "Over/Under (40005)", "[x] Page Flip (40004)",
                          "---", "[x] Stereo - On/Resync (40014)", "Stereo - Off (40013)", "---",
                          "LCD Mode 1 (40501)", "[x] LCD Mode 2 (40502)", "LCD Mode Off (40505)"}));
}

TEST_F(MainWindow, ACommandThatCannotShowItsCodeIsReportedOnce) {
    ASSERT_TRUE(create());
    WindowLog refusal(codeWindowClassName);
    for (auto send : {+[](HWND w) { SendMessageA(w, WM_COMMAND, 40011, 0); },
                      +[](HWND w) { SendMessageA(w, WM_COMMAND, 40013, 0); },
                      +[](HWND w) { SendMessageA(w, WM_HOTKEY, hotKeyNormal, 0); }}) {
        MessageBoxWatcher boxes({controllerErrorCaption}, IDOK);
        send(window);
        EXPECT_TRUE(answeredOneBox(boxes, "Cannot create Lumo Code Window."));
        EXPECT_EQ(controller.lastError, 0) << "the report clears the code";
    }
}

} // namespace
