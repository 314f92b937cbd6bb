// The Properties dialog on the screen, worked as a user works it: what it shows for the stored
// state, what the lists change, what OK, Apply, Cancel, Set and Test do to the state, the
// registry, the global hot-keys and the screen.

#include "app/hot_keys.h"
#include "code/code_window.h"
#include "code/controller_state.h"
#include "dialogs/properties_dialog.h"
#include "resource.h"
#include "settings/settings_store.h"
#include "support/code_on_screen.h"
#include "support/dialog_driver.h"
#include "support/fresh_controller.h"
#include "support/registry.h"
#include "support/registry_faults.h"
#include "support/hot_key_holder.h"
#include "support/message_box.h"
#include "support/wait.h"
#include "support/window_log.h"
#include "support/windows.h"
#include "support/test_names.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

constexpr char testCaption[] = "Lumo Test Window";

const std::vector<std::string> fullModeList{"Interleaved", "Over/Under", "Page Flip"};
const std::vector<std::string> lcdList{"LCD Mode 1", "LCD Mode 2", "LCD Mode Off"};

// Hot-key control values: the virtual key, with the control's modifier flags above it.
constexpr int32_t ctrlF10 = (HOTKEYF_CONTROL << 8) | VK_F10;
constexpr int32_t ctrlF11 = (HOTKEYF_CONTROL << 8) | VK_F11;
constexpr int32_t ctrlF12 = (HOTKEYF_CONTROL << 8) | VK_F12;
constexpr int32_t shiftCtrlF5 = ((HOTKEYF_SHIFT | HOTKEYF_CONTROL) << 8) | VK_F5;
constexpr int32_t altF6 = (HOTKEYF_ALT << 8) | VK_F6;
constexpr int32_t ctrlAltF7 = ((HOTKEYF_CONTROL | HOTKEYF_ALT) << 8) | VK_F7;

constexpr int hotKeyControls[] = {IDC_HOTKEY1, IDC_HOTKEY2, IDC_HOTKEY3};
constexpr int hotKeyLabels[] = {IDC_HOTKEY1_LABEL, IDC_HOTKEY2_LABEL, IDC_HOTKEY3_LABEL};

std::optional<uint32_t> storedSetting(const char* name) {
    return readDword(testSettingsKey, name);
}

int32_t hotKeyValue(HWND dialog, int control) {
    return static_cast<int32_t>(SendDlgItemMessageA(dialog, control, HKM_GETHOTKEY, 0, 0));
}

void setHotKey(HWND dialog, int control, int32_t value) {
    SendDlgItemMessageA(dialog, control, HKM_SETHOTKEY, static_cast<WPARAM>(value), 0);
}

// Whether a hot-key control's value is free for another program.
bool valueFree(int32_t value) {
    const HotKeyArguments arguments = convertHotKey(value);
    return combinationFree(arguments.modifiers, arguments.virtualKey);
}

class PropertiesDialog : public testing::Test {
  protected:
    void SetUp() override {
        startFreshController();
        makeVersionText();
        controller.hotKey1 = ctrlF10;
        controller.hotKey2 = ctrlF11;
        controller.hotKey3 = ctrlF12;
        owner_ = CreateWindowExA(0, "STATIC", "hot-key owner", WS_POPUP, 0, 0, 10, 10, nullptr,
                                 nullptr, nullptr, nullptr);
        ASSERT_TRUE(owner_);
        controller.mainWindow = owner_;
        registerControllerHotKeys(owner_);
        ASSERT_EQ(controller.lastError, 0);
        ASSERT_TRUE(codeWindowsGone());
    }

    void TearDown() override {
        for (int id : {hotKey1Id, hotKey2Id, hotKey3Id})
            UnregisterHotKey(owner_, id);
        DestroyWindow(owner_);
        EXPECT_TRUE(codeWindowsGone());
        deleteCorvaneKey();
    }

    // Opens the dialog as the main window does and lets the user work it.
    static bool open(const std::function<void(HWND)>& user) {
        bool shown = false;
        driveDialog(
            propertiesDialogTitle, [&] { shown = showPropertiesDialog(controller.mainWindow); },
            user);
        return shown;
    }

    // Runs the template with the dialog's procedure, for its result.
    static INT_PTR run(const std::function<void(HWND)>& user) {
        INT_PTR result = 0;
        driveDialog(
            propertiesDialogTitle,
            [&] {
                result =
                    DialogBoxParamA(controller.moduleInstance, MAKEINTRESOURCEA(IDD_PROPERTIES),
                                    controller.mainWindow, propertiesDialogProc, 0);
            },
            user);
        return result;
    }

    HWND owner_ = nullptr;
};

struct ControlsSeen {
    std::vector<std::string> modes;
    int modeSelection;
    bool testEnabled;
    std::vector<bool> hotKeysEnabled;
    std::vector<std::string> labels;
};

ControlsSeen readControls(HWND dialog) {
    ControlsSeen seen{listItems(dialog, IDC_MODE_LIST),
                      listSelection(dialog, IDC_MODE_LIST),
                      controlEnabled(dialog, IDC_TEST),
                      {},
                      {}};
    for (int i = 0; i < 3; ++i) {
        seen.hotKeysEnabled.push_back(controlEnabled(dialog, hotKeyControls[i]));
        seen.labels.push_back(controlText(dialog, hotKeyLabels[i]));
    }
    return seen;
}

void expectControls(HWND dialog, const ControlsSeen& expected, const std::string& situation) {
    const ControlsSeen seen = readControls(dialog);
    EXPECT_EQ(seen.modes, expected.modes) << situation;
    EXPECT_EQ(seen.modeSelection, expected.modeSelection) << situation;
    EXPECT_EQ(seen.testEnabled, expected.testEnabled) << situation;
    EXPECT_EQ(seen.hotKeysEnabled, expected.hotKeysEnabled) << situation;
    EXPECT_EQ(seen.labels, expected.labels) << situation;
}

const std::vector<std::string> interleavedLabels{
    "Stereo - Normal:", "Stereo - Reverse:", "Stereo - Off:"};

// The controls for Interleaved on the default hardware, for the other modes with the given item
// selected, and for other hardware.
const ControlsSeen interleavedControls{
    fullModeList, 0, true, {true, true, true}, interleavedLabels};
ControlsSeen otherModeControls(int selection, const char* firstLabel = "Stereo - On:") {
    return {fullModeList,
            selection,
            false,
            {true, false, true},
            {firstLabel, "Not Used.", "Stereo - Off:"}};
}
ControlsSeen otherHardwareControls(std::vector<std::string> labels) {
    return {{"Interleaved"}, 0, false, {false, false, false}, std::move(labels)};
}

TEST_F(PropertiesDialog, OpensWithTheStoredSettings) {
    struct Opening {
        int32_t hardware;
        int32_t mode;
        int32_t lcdMode;
        ControlsSeen expected;
        int lcdSelection;
    };
    const std::vector<Opening> openings{
        {0, 0, 2, interleavedControls, 1},
        {0, 1, 1, otherModeControls(2, "Stereo - On/Resync:"), 0},
        {0, 2, 0, otherModeControls(1), 2},
        {0, 9, 7, otherModeControls(1), 2},
        {1, 2, 2, otherHardwareControls(interleavedLabels), 1},
        {3, 0, 1, interleavedControls, 0},
    };
    for (const Opening& opening : openings) {
        const std::string situation = "hardware " + std::to_string(opening.hardware) + ", mode " +
                                      std::to_string(opening.mode) + ", LCD mode " +
                                      std::to_string(opening.lcdMode);
        controller.hardware = opening.hardware;
        controller.mode = opening.mode;
        controller.lcdMode = opening.lcdMode;
        controller.hotKey1 = shiftCtrlF5;
        controller.hotKey2 = 0x12340000 | altF6; // only the low 16 bits reach the control
        controller.hotKey3 = ctrlAltF7;
        const bool shown = open([&](HWND dialog) {
            EXPECT_EQ(controller.propertiesWindow, dialog) << situation;
            EXPECT_EQ(listItems(dialog, IDC_HARDWARE_LIST), std::vector<std::string>{"3V Ududav"});
            EXPECT_EQ(listSelection(dialog, IDC_HARDWARE_LIST), 0) << situation;
            expectControls(dialog, opening.expected, situation);
            EXPECT_EQ(listItems(dialog, IDC_LCD_MODE_LIST), lcdList);
            EXPECT_EQ(listSelection(dialog, IDC_LCD_MODE_LIST), opening.lcdSelection) << situation;
            EXPECT_EQ(hotKeyValue(dialog, IDC_HOTKEY1), shiftCtrlF5);
            EXPECT_EQ(hotKeyValue(dialog, IDC_HOTKEY2), altF6);
            EXPECT_EQ(hotKeyValue(dialog, IDC_HOTKEY3), ctrlAltF7);
            click(dialog, IDC_PROPERTIES_CANCEL);
        });
        EXPECT_TRUE(shown) << situation;
        EXPECT_EQ(controller.propertiesWindow, nullptr) << situation;
        EXPECT_EQ(controller.hardware, opening.hardware) << "Cancel wrote the hardware";
        EXPECT_EQ(controller.mode, opening.mode) << "Cancel wrote the mode";
    }
    EXPECT_FALSE(keyExists(testControllerKey)) << "opening and cancelling stored the settings";
}

TEST_F(PropertiesDialog, ModeChoicesSwitchTheControlsAndClearTheTest) {
    struct Choice {
        int index;
        const char* situation;
        std::optional<ControlsSeen> expected;
    };
    const Choice choices[] = {
        {2, "Page Flip chosen", otherModeControls(2)},
        {1, "Over/Under chosen", otherModeControls(1)},
        {0, "Interleaved chosen", interleavedControls},
        {0, "the same mode chosen again", interleavedControls},
        {-1, "no mode chosen", std::nullopt},
    };
    open([&](HWND dialog) {
        for (const Choice& choice : choices) {
            controller.tested = 1;
            choose(dialog, IDC_MODE_LIST, choice.index);
            if (choice.expected)
                expectControls(dialog, *choice.expected, choice.situation);
            EXPECT_EQ(controller.tested, 0) << choice.situation;
        }

        // Only the end of a choice counts: a selection that merely changes does nothing.
        controller.tested = 1;
        choose(dialog, IDC_MODE_LIST, 1, CBN_SELCHANGE);
        EXPECT_EQ(controller.tested, 1);
        EXPECT_EQ(controlText(dialog, IDC_HOTKEY1_LABEL), "Stereo - Normal:");
        EXPECT_TRUE(controlEnabled(dialog, IDC_TEST));

        EXPECT_EQ(controller.mode, 0) << "the list wrote the mode";
        click(dialog, IDC_PROPERTIES_CANCEL);
    });
}

TEST_F(PropertiesDialog, HardwareChoicesRefillTheModeListAndClearTheTest) {
    controller.hardware = 1;
    controller.mode = 1;
    controller.tested = 1;
    open([](HWND dialog) {
        choose(dialog, IDC_HARDWARE_LIST, 0);
        expectControls(dialog, interleavedControls, "hardware chosen");
        EXPECT_EQ(controller.tested, 0);

        controller.tested = 1;
        choose(dialog, IDC_MODE_LIST, 2);
        choose(dialog, IDC_HARDWARE_LIST, 0);
        expectControls(dialog, interleavedControls, "the same hardware chosen again");
        EXPECT_EQ(controller.tested, 0);

        controller.tested = 1;
        choose(dialog, IDC_HARDWARE_LIST, -1);
        expectControls(dialog, otherHardwareControls({"Not Used.", "Not Used.", "Not Used."}),
                       "no hardware chosen");
        EXPECT_EQ(controller.tested, 0);

        EXPECT_EQ(controller.hardware, 1) << "the list wrote the hardware";
        EXPECT_EQ(controller.mode, 1) << "the list wrote the mode";
        click(dialog, IDC_PROPERTIES_CANCEL);
    });
}

TEST_F(PropertiesDialog, OkStoresTheChoicesRegistersTheHotKeysAndClosesWithOne) {
    controller.hardware = 2;
    const INT_PTR result = run([](HWND dialog) {
        choose(dialog, IDC_MODE_LIST, 2);
        setHotKey(dialog, IDC_HOTKEY1, shiftCtrlF5);
        setHotKey(dialog, IDC_HOTKEY2, altF6);
        setHotKey(dialog, IDC_HOTKEY3, ctrlAltF7);
        click(dialog, IDC_PROPERTIES_OK);
        EXPECT_FALSE(IsWindowVisible(dialog)) << "OK left the dialog open";
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(controller.propertiesWindow, nullptr);
    EXPECT_EQ(controller.mode, 1) << "Page Flip";
    EXPECT_EQ(controller.hardware, 0);
    EXPECT_EQ(controller.hotKey1, shiftCtrlF5);
    EXPECT_EQ(controller.hotKey2, altF6);
    EXPECT_EQ(controller.hotKey3, ctrlAltF7);

    EXPECT_EQ(storedSetting("Mode"), 1u);
    EXPECT_EQ(storedSetting("Hardware"), 0u);
    EXPECT_EQ(storedSetting("Hot-Key 1"), uint32_t(shiftCtrlF5));
    EXPECT_EQ(storedSetting("Hot-Key 2"), uint32_t(altF6));
    EXPECT_EQ(storedSetting("Hot-Key 3"), uint32_t(ctrlAltF7));

    for (int32_t taken : {shiftCtrlF5, altF6, ctrlAltF7})
        EXPECT_FALSE(valueFree(taken)) << std::hex << taken << " not registered";
    for (int32_t withdrawn : {ctrlF10, ctrlF11, ctrlF12})
        EXPECT_TRUE(valueFree(withdrawn)) << std::hex << withdrawn << " still taken";
}

// While the dialog is open its chords are free to be typed; when it closes the hot-keys are
// registered anew only once all three are withdrawn, and one whose new chord cannot be had keeps
// working with its old one.
TEST_F(PropertiesDialog, ChordsCanBeSwappedAndOneHeldElsewhereLeavesTheOldChordWorking) {
    HotKeyHolder other;
    ASSERT_TRUE(other.take(MOD_CONTROL, VK_F5));
    open([&](HWND dialog) {
        for (int32_t chord : {ctrlF10, ctrlF11, ctrlF12})
            EXPECT_TRUE(valueFree(chord)) << std::hex << chord << " held while the dialog is open";
        setHotKey(dialog, IDC_HOTKEY1, ctrlF11);
        setHotKey(dialog, IDC_HOTKEY2, ctrlF10);
        setHotKey(dialog, IDC_HOTKEY3, (HOTKEYF_CONTROL << 8) | VK_F5);
        click(dialog, IDC_PROPERTIES_OK);
    });
    EXPECT_FALSE(valueFree(ctrlF10));
    EXPECT_FALSE(valueFree(ctrlF11)) << "a swapped chord was lost";
    EXPECT_FALSE(valueFree(ctrlF12)) << "the old chord of the third hot-key was given up";
    EXPECT_EQ(storedSetting("Hot-Key 1"), uint32_t(ctrlF11));
    EXPECT_EQ(storedSetting("Hot-Key 2"), uint32_t(ctrlF10));
    EXPECT_EQ(storedSetting("Hot-Key 3"), uint32_t((HOTKEYF_CONTROL << 8) | VK_F5));
}

TEST_F(PropertiesDialog, ApplyStoresAndStaysOpenAndCancelThenClosesWithTwo) {
    controller.hardware = 1;
    controller.mode = 1;
    const INT_PTR result = run([](HWND dialog) {
        click(dialog, IDC_PROPERTIES_APPLY);
        EXPECT_TRUE(IsWindowVisible(dialog)) << "Apply closed the dialog";
        EXPECT_EQ(controller.propertiesWindow, dialog);
        EXPECT_EQ(controller.hardware, 0);
        EXPECT_EQ(controller.mode, 0) << "the one Interleaved item";
        EXPECT_EQ(storedSetting("Hardware"), 0u);
        EXPECT_EQ(storedSetting("Mode"), 0u);

        choose(dialog, IDC_HARDWARE_LIST, 0);
        choose(dialog, IDC_MODE_LIST, 2);
        click(dialog, IDC_PROPERTIES_APPLY);
        EXPECT_EQ(storedSetting("Mode"), 1u) << "Page Flip";

        // The caption's close box cancels too.
        SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    });
    EXPECT_EQ(result, 2);
    EXPECT_EQ(controller.propertiesWindow, nullptr);
}

TEST_F(PropertiesDialog, OverUnderWarningAnsweredNoKeepsTheChoicesButStoresNothing) {
    open([&](HWND dialog) {
        choose(dialog, IDC_MODE_LIST, 1);
        setHotKey(dialog, IDC_HOTKEY1, shiftCtrlF5);
        {
            MessageBoxWatcher watcher({"Warning"}, IDNO);
            click(dialog, IDC_PROPERTIES_APPLY);
            EXPECT_TRUE(answeredOneBox(
                watcher,
                "Activating Over/Under mode may cause your screen to become jumbled or go blank. "
                "If this occurs, you may have to reset your 3D hardware and/or computer. Only "
                "advanced users should use this mode. Do you want continue?",
                yesNoButtons, IDI_EXCLAMATION));
        }
        EXPECT_TRUE(IsWindowVisible(dialog));
        EXPECT_FALSE(keyExists(testControllerKey));
        EXPECT_EQ(controller.mode, 2);
        EXPECT_EQ(controller.hotKey1, shiftCtrlF5);

        MessageBoxWatcher watcher({"Warning"}, IDNO);
        click(dialog, IDC_PROPERTIES_OK);
        EXPECT_EQ(watcher.seen().size(), 1u);
        EXPECT_TRUE(IsWindowVisible(dialog)) << "OK closed the dialog after No";
        click(dialog, IDC_PROPERTIES_CANCEL);
    });
    EXPECT_FALSE(keyExists(testControllerKey));
    EXPECT_EQ(controller.mode, 2) << "Cancel undid the mode";
    EXPECT_FALSE(valueFree(shiftCtrlF5)) << "the new hot-key was not registered";
}

TEST_F(PropertiesDialog, OverUnderWarningAnsweredYesStoresTheMode) {
    MessageBoxWatcher watcher({"Warning"}, IDYES);
    open([](HWND dialog) {
        choose(dialog, IDC_MODE_LIST, 1);
        click(dialog, IDC_PROPERTIES_OK);
    });
    EXPECT_EQ(watcher.seen().size(), 1u);
    EXPECT_EQ(storedSetting("Mode"), 2u);
}

TEST_F(PropertiesDialog, EqualHotKeysAreRefusedAndNothingIsStored) {
    struct Refusal {
        int32_t values[3];
        const char* situation;
    };
    const Refusal refusals[] = {
        {{altF6, altF6, ctrlAltF7}, "first and second equal"},
        {{altF6, ctrlAltF7, ctrlAltF7}, "second and third equal"},
        {{altF6, ctrlAltF7, altF6}, "first and third equal"},
        {{altF6, 0, 0}, "two controls empty"},
    };
    open([&](HWND dialog) {
        for (const Refusal& refusal : refusals) {
            for (int i = 0; i < 3; ++i)
                setHotKey(dialog, hotKeyControls[i], refusal.values[i]);
            for (int button : {IDC_PROPERTIES_APPLY, IDC_PROPERTIES_OK}) {
                MessageBoxWatcher watcher({defaultMessageBoxCaption()}, IDOK);
                click(dialog, button);
                EXPECT_TRUE(answeredOneBox(watcher, "Hot-Keys cannot have the same values.",
                                           okButton, IDI_EXCLAMATION))
                    << refusal.situation;
                EXPECT_TRUE(IsWindowVisible(dialog)) << refusal.situation;
                EXPECT_FALSE(keyExists(testControllerKey)) << refusal.situation;
            }
        }
        // One empty control among distinct ones is fine.
        setHotKey(dialog, IDC_HOTKEY1, altF6);
        setHotKey(dialog, IDC_HOTKEY2, 0);
        setHotKey(dialog, IDC_HOTKEY3, ctrlAltF7);
        click(dialog, IDC_PROPERTIES_OK);
        EXPECT_FALSE(IsWindowVisible(dialog));
    });
    EXPECT_EQ(storedSetting("Hot-Key 2"), 0u);
    EXPECT_EQ(storedSetting("Hot-Key 3"), uint32_t(ctrlAltF7));
}

TEST_F(PropertiesDialog, EnterDoesNothingAndEscapeCancels) {
    controller.tested = 1;
    WindowLog windows;
    const INT_PTR result = run([](HWND dialog) {
        ASSERT_TRUE(typeKeys(dialog, {VK_RETURN}));
        waitForDialogThread();
        EXPECT_TRUE(IsWindowVisible(dialog)) << "Enter closed the dialog";
        EXPECT_EQ(waitForDialog(normalTestDialogTitle, 0), nullptr) << "Enter started the test";
        ASSERT_TRUE(typeKeys(dialog, {VK_ESCAPE}));
    });
    EXPECT_EQ(result, 2);
    EXPECT_EQ(controller.tested, 1);
    EXPECT_EQ(windows.count(codeWindowClassName), 0) << "Enter sent a command";
    EXPECT_FALSE(keyExists(testControllerKey));
}

// What the LCD commands change and store is the commands' own concern.
TEST_F(PropertiesDialog, SetSendsTheChosenLcdModeAtOnce) {
    const std::pair<int, int32_t> settings[] = {{0, 5}, {2, 7}, {1, 6}, {-1, 7}};
    open([&](HWND dialog) {
        for (const auto& [index, command] : settings) {
            SendDlgItemMessageA(dialog, IDC_LCD_MODE_LIST, CB_SETCURSEL, static_cast<WPARAM>(index),
                                0);
            click(dialog, IDC_LCD_SET);
            EXPECT_TRUE(codeAppears(command)) << "item " << index;
            EXPECT_TRUE(IsWindowVisible(dialog));
        }
        click(dialog, IDC_PROPERTIES_CANCEL);
    });
}

// Works one run of the interleave test started from the Test button: checks what the test
// starts with, lets the user work it, answers it with the button and waits until the Properties
// dialog is back.
void runTestFromTheButton(
    HWND dialog, int32_t startCommand, int answer,
    const std::function<void(HWND)>& user = [](HWND) {}) {
    postClick(dialog, IDC_TEST);
    EXPECT_TRUE(codeAppears(startCommand));
    HWND test = waitForDialog(normalTestDialogTitle);
    ASSERT_NE(test, nullptr);
    EXPECT_EQ(GetWindow(test, GW_OWNER), dialog);
    EXPECT_EQ(controller.hardware, 0) << "the test runs on the default hardware";
    EXPECT_EQ(controller.active, 1);
    user(test);
    click(test, answer);
    EXPECT_TRUE(codeAppears(StereoOff));
    waitForDialogThread();
}

TEST_F(PropertiesDialog, TestRunsTheInterleaveTestAndRestoresHardwareAndEyeOrder) {
    controller.hardware = 1;
    open([](HWND dialog) {
        choose(dialog, IDC_HARDWARE_LIST, 0);
        runTestFromTheButton(dialog, StereoNormal, IDOK);
        EXPECT_EQ(controller.tested, 1);
        EXPECT_EQ(controller.active, 0);
        EXPECT_EQ(controller.hardware, 1);
        EXPECT_EQ(controller.reverse, 0);

        controller.reverse = 1;
        runTestFromTheButton(dialog, StereoReverse, IDCANCEL, [](HWND test) {
            click(test, IDC_TEST_TOGGLE);
            EXPECT_EQ(controller.reverse, 0);
        });
        EXPECT_EQ(controller.tested, 0);
        EXPECT_EQ(controller.reverse, 1) << "the reversal chosen in the test stayed";
        EXPECT_EQ(controller.hardware, 1);
        click(dialog, IDC_PROPERTIES_CANCEL);
    });
}

TEST_F(PropertiesDialog, TestInTheOtherModesOnlySaysItIsNotImplemented) {
    for (int index : {1, 2, -1}) {
        controller.active = 1;
        controller.tested = 1;
        MessageBoxWatcher watcher({testCaption}, IDOK);
        WindowLog windows;
        open([&](HWND dialog) {
            choose(dialog, IDC_MODE_LIST, index);
            click(dialog, IDC_TEST);
            click(dialog, IDC_PROPERTIES_CANCEL);
        });
        EXPECT_TRUE(answeredOneBox(watcher, "Test window for this mode is not implemented.",
                                   okButton, IDI_ASTERISK))
            << "mode item " << index;
        EXPECT_EQ(controller.active, 1) << "a command was sent";
        EXPECT_EQ(windows.count(codeWindowClassName), 0) << "a code was painted";
    }
}

TEST_F(PropertiesDialog, AsksWhetherTheTestPictureLookedRight) {
    for (int answer : {IDNO, IDYES}) {
        MessageBoxWatcher watcher({testCaption}, answer);
        open([](HWND dialog) {
            SendMessageA(dialog, WM_COMMAND, confirmTestCommandId, 0);
            click(dialog, IDC_PROPERTIES_CANCEL);
        });
        EXPECT_TRUE(
            answeredOneBox(watcher, "Did you see the image properly?", yesNoButtons, IDI_QUESTION));
        EXPECT_EQ(controller.tested, answer == IDYES ? 1 : 0);
    }
}

TEST_F(PropertiesDialog, AFailedSetIsReportedAndTheDialogStaysOpen) {
    WindowLog refusal(codeWindowClassName);
    MessageBoxWatcher watcher({controllerErrorCaption}, IDOK);
    open([](HWND dialog) {
        SendDlgItemMessageA(dialog, IDC_LCD_MODE_LIST, CB_SETCURSEL, 1, 0);
        click(dialog, IDC_LCD_SET);
        EXPECT_EQ(controller.lcdMode, 2);
        EXPECT_TRUE(IsWindowVisible(dialog));
        click(dialog, IDC_PROPERTIES_CANCEL);
    });
    EXPECT_TRUE(answeredOneBox(watcher, "Cannot create Lumo Code Window."));
}

TEST_F(PropertiesDialog, ATestDialogThatCannotBeCreatedIsReportedAndStereoStillGoesOff) {
    WindowRefusal refusal(normalTestDialogTitle);
    ASSERT_TRUE(refusal.active());
    MessageBoxWatcher watcher({controllerErrorCaption}, IDOK);
    controller.reverse = 1;
    open([](HWND dialog) {
        click(dialog, IDC_TEST);
        EXPECT_TRUE(codeAppears(StereoOff));
        EXPECT_EQ(controller.active, 0);
        EXPECT_EQ(controller.reverse, 1);
        click(dialog, IDC_PROPERTIES_CANCEL);
    });
    EXPECT_TRUE(answeredOneBox(watcher, "Cannot create Test Dialog."));
}

TEST_F(PropertiesDialog, AFailedSaveIsReportedAndOkStillCloses) {
    RegistryWriteWatch failFirstWrite(1);
    ASSERT_TRUE(failFirstWrite.active());
    MessageBoxWatcher watcher({controllerErrorCaption}, IDOK);
    EXPECT_EQ(run([](HWND dialog) { click(dialog, IDC_PROPERTIES_OK); }), IDOK);
    EXPECT_TRUE(answeredOneBox(watcher, "Cannot write to Active value in registry."));
    EXPECT_EQ(controller.propertiesWindow, nullptr);
}

TEST_F(PropertiesDialog, ReportsThatItCannotBeCreatedWithoutItsTemplate) {
    controller.moduleInstance = GetModuleHandleA("kernel32.dll");
    EXPECT_FALSE(showPropertiesDialog(controller.mainWindow));
    EXPECT_EQ(controller.propertiesWindow, nullptr);
}

} // namespace
