#include "dialogs/properties_dialog.h"

#include "app/hot_keys.h"
#include "code/commands.h"
#include "code/controller_state.h"
#include "dialogs/dialog_commands.h"
#include "dialogs/interleave_test_dialog.h"
#include "resource.h"
#include "settings/error_codes.h"
#include "settings/error_report.h"
#include "settings/settings_store.h"

#include <commctrl.h>

#include <iterator>

namespace {

// The hardware for which every command paints its code, and the one value the dialog knows
// beside it, which gets only the Interleaved mode.
constexpr int32_t ududavHardware = 0;
constexpr int32_t restrictedHardware = 1;
constexpr char ududavHardwareName[] = "3V Ududav";

constexpr char testCaption[] = "Lumo Test Window";
constexpr char testNotImplementedText[] = "Test window for this mode is not implemented.";
constexpr char confirmTestText[] = "Did you see the image properly?";
constexpr char overUnderCaption[] = "Warning";
constexpr char overUnderWarning[] =
    "Activating Over/Under mode may cause your screen to become jumbled or go blank. If this "
    "occurs, you may have to reset your 3D hardware and/or computer. Only advanced users should "
    "use this mode. Do you want continue?";
constexpr char equalHotKeysText[] = "Hot-Keys cannot have the same values.";

constexpr char stereoNormalLabel[] = "Stereo - Normal:";
constexpr char stereoReverseLabel[] = "Stereo - Reverse:";
constexpr char stereoOffLabel[] = "Stereo - Off:";
constexpr char stereoOnLabel[] = "Stereo - On:";
constexpr char stereoOnResyncLabel[] = "Stereo - On/Resync:";
constexpr char notUsedLabel[] = "Not Used.";

// The Mode list in its order; with the restricted hardware it holds the first item alone.
struct ModeItem {
    const char* text;
    int32_t mode;
};

constexpr ModeItem modeItems[] = {
    {"Interleaved", ModeInterleaved},
    {"Over/Under", ModeOverUnder},
    {"Page Flip", ModePageFlip},
};
constexpr int interleavedIndex = 0;
constexpr int overUnderIndex = 1;
constexpr int pageFlipIndex = 2;
constexpr int fullModeCount = static_cast<int>(std::size(modeItems));
constexpr int restrictedModeCount = 1;

// The LCD mode list in its order; the last item also stands for any other stored value.
struct LcdItem {
    const char* text;
    int32_t lcdMode;
    DisplayCommand command;
};

constexpr LcdItem lcdItems[] = {
    {"LCD Mode 1", 1, LcdMode1},
    {"LCD Mode 2", 2, LcdMode2},
    {"LCD Mode Off", 0, LcdModeOff},
};
constexpr int lcdOffIndex = 2;
constexpr int lcdItemCount = static_cast<int>(std::size(lcdItems));

struct HotKeyControl {
    int control;
    int label;
    int32_t ControllerState::*value;
};

constexpr HotKeyControl hotKeyControls[] = {
    {IDC_HOTKEY1, IDC_HOTKEY1_LABEL, &ControllerState::hotKey1},
    {IDC_HOTKEY2, IDC_HOTKEY2_LABEL, &ControllerState::hotKey2},
    {IDC_HOTKEY3, IDC_HOTKEY3_LABEL, &ControllerState::hotKey3},
};
constexpr int hotKeyCount = static_cast<int>(std::size(hotKeyControls));

// What a hot-key whose new chord cannot be registered goes back to. One dialog is open at most.
HotKeyValues hotKeysAtOpening{};

// Keep leaves a control as it is: at initialisation that is the template's state.
enum class Switch { Keep, On, Off };

// What the Test button, the hot-key controls and their labels show in one situation; a null
// label keeps its text.
struct ControlStates {
    Switch test;
    Switch hotKeys[hotKeyCount];
    const char* labels[hotKeyCount];
};

constexpr ControlStates interleavedChosen{Switch::On,
                                          {Switch::On, Switch::On, Switch::On},
                                          {stereoNormalLabel, stereoReverseLabel, stereoOffLabel}};
constexpr ControlStates otherModeChosen{Switch::Off,
                                        {Switch::On, Switch::Off, Switch::On},
                                        {stereoOnLabel, notUsedLabel, stereoOffLabel}};
constexpr ControlStates openedInPageFlip{Switch::Off,
                                         {Switch::Keep, Switch::Off, Switch::Keep},
                                         {stereoOnResyncLabel, notUsedLabel, stereoOffLabel}};
constexpr ControlStates openedInOverUnder{Switch::Off,
                                          {Switch::Keep, Switch::Off, Switch::Keep},
                                          {stereoOnLabel, notUsedLabel, stereoOffLabel}};
constexpr ControlStates openedWithRestrictedHardware{
    Switch::Off, {Switch::Off, Switch::Off, Switch::Off}, {nullptr, nullptr, nullptr}};
constexpr ControlStates noHardwareChosen{Switch::Off,
                                         {Switch::Off, Switch::Off, Switch::Off},
                                         {notUsedLabel, notUsedLabel, notUsedLabel}};

void setSwitch(HWND control, Switch state) {
    if (state != Switch::Keep)
        EnableWindow(control, state == Switch::On);
}

void showControlStates(HWND dialog, const ControlStates& states) {
    setSwitch(GetDlgItem(dialog, IDC_TEST), states.test);
    for (int i = 0; i < hotKeyCount; ++i) {
        setSwitch(GetDlgItem(dialog, hotKeyControls[i].control), states.hotKeys[i]);
        if (states.labels[i])
            SetDlgItemTextA(dialog, hotKeyControls[i].label, states.labels[i]);
    }
}

int selection(HWND dialog, int list) {
    return static_cast<int>(SendDlgItemMessageA(dialog, list, CB_GETCURSEL, 0, 0));
}

void select(HWND dialog, int list, int index) {
    SendDlgItemMessageA(dialog, list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void emptyList(HWND dialog, int list) {
    SendDlgItemMessageA(dialog, list, CB_RESETCONTENT, 0, 0);
}

void addItem(HWND dialog, int list, const char* text) {
    SendDlgItemMessageA(dialog, list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
}

// Fills the Mode list with its first count items and selects the first.
void fillModeList(HWND dialog, int count) {
    emptyList(dialog, IDC_MODE_LIST);
    for (int i = 0; i < count; ++i)
        addItem(dialog, IDC_MODE_LIST, modeItems[i].text);
    select(dialog, IDC_MODE_LIST, interleavedIndex);
}

void fillHardwareList(HWND dialog) {
    emptyList(dialog, IDC_HARDWARE_LIST);
    addItem(dialog, IDC_HARDWARE_LIST, ududavHardwareName);
    select(dialog, IDC_HARDWARE_LIST, 0);
}

void showStoredMode(HWND dialog) {
    if (controller.hardware == restrictedHardware) {
        fillModeList(dialog, restrictedModeCount);
        showControlStates(dialog, openedWithRestrictedHardware);
        return;
    }
    fillModeList(dialog, fullModeCount);
    switch (controller.mode) {
    case ModeInterleaved:
        break;
    case ModePageFlip:
        select(dialog, IDC_MODE_LIST, pageFlipIndex);
        showControlStates(dialog, openedInPageFlip);
        break;
    default:
        select(dialog, IDC_MODE_LIST, overUnderIndex);
        showControlStates(dialog, openedInOverUnder);
        break;
    }
}

int lcdIndexOfStoredMode() {
    for (int i = 0; i < lcdItemCount; ++i)
        if (lcdItems[i].lcdMode == controller.lcdMode)
            return i;
    return lcdOffIndex;
}

void fillLcdList(HWND dialog) {
    emptyList(dialog, IDC_LCD_MODE_LIST);
    for (const LcdItem& item : lcdItems)
        addItem(dialog, IDC_LCD_MODE_LIST, item.text);
    select(dialog, IDC_LCD_MODE_LIST, lcdIndexOfStoredMode());
}

constexpr int32_t hotKeyControlValueMask = 0xFFFF;

void loadHotKeyControls(HWND dialog) {
    for (const HotKeyControl& hotKey : hotKeyControls)
        SendDlgItemMessageA(dialog, hotKey.control, HKM_SETHOTKEY,
                            static_cast<WPARAM>(controller.*hotKey.value & hotKeyControlValueMask),
                            0);
}

INT_PTR onInitDialog(HWND dialog) {
    controller.propertiesWindow = dialog;
    // Muted while the dialog is open anyway; withdrawn, their chords can be typed into the
    // controls, to swap two of them, say.
    hotKeysAtOpening = controllerHotKeyValues();
    withdrawControllerHotKeys(controller.mainWindow);
    fillHardwareList(dialog);
    showStoredMode(dialog);
    fillLcdList(dialog);
    loadHotKeyControls(dialog);
    return TRUE;
}

void onHardwareChosen(HWND dialog) {
    if (selection(dialog, IDC_HARDWARE_LIST) == CB_ERR) {
        fillModeList(dialog, restrictedModeCount);
        showControlStates(dialog, noHardwareChosen);
    } else {
        fillModeList(dialog, fullModeCount);
        showControlStates(dialog, interleavedChosen);
    }
    controller.tested = 0;
}

void onModeChosen(HWND dialog) {
    const int index = selection(dialog, IDC_MODE_LIST);
    select(dialog, IDC_MODE_LIST, index);
    if (index == interleavedIndex)
        showControlStates(dialog, interleavedChosen);
    else if (index != CB_ERR)
        showControlStates(dialog, otherModeChosen);
    controller.tested = 0;
}

void onSetLcdMode(HWND dialog) {
    const int index = selection(dialog, IDC_LCD_MODE_LIST);
    const bool listed = index >= 0 && index < lcdItemCount;
    sendCommandReportingFailure(listed ? lcdItems[index].command : LcdModeOff);
}

void runInterleaveTest(HWND dialog) {
    sendCommandReportingFailure(controller.reverse ? StereoReverse : StereoNormal);
    if (runInterleaveTestDialog(dialog) == -1) {
        controller.lastError = ErrorCreateTestDialog;
        reportError(controller.lastError);
    }
    stereoOff();
}

// The test runs on the default hardware so that its codes are painted; the eye order chosen in
// it and the hardware go back to what they were, only its outcome in tested stays.
void onTest(HWND dialog) {
    const int32_t hardware = controller.hardware;
    const int32_t reverse = controller.reverse;
    if (selection(dialog, IDC_HARDWARE_LIST) != CB_ERR)
        controller.hardware = ududavHardware;
    if (selection(dialog, IDC_MODE_LIST) == interleavedIndex)
        runInterleaveTest(dialog);
    else
        MessageBoxA(dialog, testNotImplementedText, testCaption, MB_OK | MB_ICONINFORMATION);
    controller.hardware = hardware;
    controller.reverse = reverse;
}

// They are registered when the dialog closes.
void readHotKeys(HWND dialog) {
    for (const HotKeyControl& hotKey : hotKeyControls)
        controller.*hotKey.value =
            static_cast<int32_t>(SendDlgItemMessageA(dialog, hotKey.control, HKM_GETHOTKEY, 0, 0));
}

bool overUnderConfirmed(HWND dialog) {
    MessageBeep(MB_ICONEXCLAMATION);
    return MessageBoxA(dialog, overUnderWarning, overUnderCaption, MB_YESNO | MB_ICONEXCLAMATION) ==
           IDYES;
}

bool hotKeysRepeat() {
    return controller.hotKey1 == controller.hotKey2 || controller.hotKey2 == controller.hotKey3 ||
           controller.hotKey1 == controller.hotKey3;
}

// Takes the dialog's choices into the state; false when the user is to correct them first.
// What was taken stays in memory either way.
bool takeChoices(HWND dialog) {
    controller.hardware = ududavHardware;
    const int index = selection(dialog, IDC_MODE_LIST);
    if (index >= 0 && index < fullModeCount)
        controller.mode = modeItems[index].mode;
    readHotKeys(dialog);
    if (controller.mode == ModeOverUnder && !overUnderConfirmed(dialog))
        return false;
    if (hotKeysRepeat()) {
        MessageBoxA(dialog, equalHotKeysText, nullptr, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    return true;
}

// Whatever the dialog did to the hot-keys, OK, Apply or neither, they work again from now on.
void close(HWND dialog, INT_PTR result) {
    reregisterControllerHotKeys(controller.mainWindow, hotKeysAtOpening);
    controller.propertiesWindow = nullptr;
    EndDialog(dialog, result);
}

enum class AfterSaving { StayOpen, Close };

void onAccept(HWND dialog, AfterSaving after) {
    if (!takeChoices(dialog))
        return;
    if (!saveSettings(0))
        reportError(controller.lastError);
    if (after == AfterSaving::Close)
        close(dialog, IDOK);
}

void onConfirmTest(HWND dialog) {
    if (MessageBoxA(dialog, confirmTestText, testCaption, MB_YESNO | MB_ICONQUESTION) == IDYES)
        controller.tested = 1;
}

void onCommand(HWND dialog, WORD id, WORD notification) {
    switch (id) {
    case IDC_HARDWARE_LIST:
        if (notification == CBN_SELENDOK)
            onHardwareChosen(dialog);
        break;
    case IDC_MODE_LIST:
        if (notification == CBN_SELENDOK)
            onModeChosen(dialog);
        break;
    case IDC_LCD_SET:
        onSetLcdMode(dialog);
        break;
    case IDC_TEST:
        onTest(dialog);
        break;
    case IDC_PROPERTIES_OK:
        onAccept(dialog, AfterSaving::Close);
        break;
    case IDC_PROPERTIES_APPLY:
        onAccept(dialog, AfterSaving::StayOpen);
        break;
    case IDC_PROPERTIES_CANCEL:
    case IDCANCEL:
        close(dialog, IDCANCEL);
        break;
    case confirmTestCommandId:
        onConfirmTest(dialog);
        break;
    }
}

} // namespace

namespace {

// The hot-key controls of the template need their class before the dialog is created. Imported,
// not loaded by name at run time: a load by bare name searches the program's own folder first,
// where anyone who can write there could plant a library of that name. A missing class shows as
// the dialog's own creation failure.
void registerHotKeyControlClass() {
    const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_HOTKEY_CLASS};
    InitCommonControlsEx(&classes);
}

} // namespace

INT_PTR CALLBACK propertiesDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return onInitDialog(dialog);
    case WM_COMMAND:
        onCommand(dialog, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

bool showPropertiesDialog(HWND owner) {
    registerHotKeyControlClass();
    return DialogBoxParamA(controller.moduleInstance, MAKEINTRESOURCEA(IDD_PROPERTIES), owner,
                           propertiesDialogProc, 0) != -1;
}
