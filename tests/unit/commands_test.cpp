// Every command through the one command routine: the state, the registry and the screen.

#include "code/code_window.h"
#include "code/commands.h"
#include "code/controller_state.h"
#include "settings/error_codes.h"
#include "settings/settings_store.h"
#include "support/code_on_screen.h"
#include "support/message_box.h"
#include "support/fresh_controller.h"
#include "support/registry.h"
#include "support/registry_faults.h"
#include "support/test_names.h"
#include "support/wait.h"
#include "support/window_log.h"
#include "support/windows.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct CommandEffect {
    int32_t command;
    int32_t active, reverse, lcdMode;
    bool mutedByOtherHardware;
};

// Starting from active 0, reverse 1, lcdMode 2.
const std::vector<CommandEffect> commandEffects{
    {1, 1, 0, 2, true},  {2, 1, 1, 2, true},  {3, 1, 0, 2, false}, {4, 1, 0, 2, false},
    {5, 0, 1, 1, false}, {6, 0, 1, 2, false}, {7, 0, 1, 0, false}, {1000, 0, 1, 2, true},
};

class Commands : public testing::Test {
  protected:
    void SetUp() override {
        closeCodeWindows();
        startFreshController();
        makeVersionText();
        controller.reverse = 1;
        controller.lcdMode = 2;
        controller.hotKey1 = 633;
    }
    void TearDown() override {
        closeCodeWindows();
        deleteCorvaneKey();
    }
};

TEST_F(Commands, EachCommandChangesTheStateStoresItAndFlashesItsCode) {
    for (const CommandEffect& effect : commandEffects) {
        SetUp();
        WindowLog windows;
        EXPECT_EQ(sendCommand(static_cast<DisplayCommand>(effect.command)), 1);

        EXPECT_EQ(controller.active, effect.active) << "command " << effect.command;
        EXPECT_EQ(controller.reverse, effect.reverse) << "command " << effect.command;
        EXPECT_EQ(controller.lcdMode, effect.lcdMode) << "command " << effect.command;
        EXPECT_EQ(readDword(testControllerKey, "Active"), uint32_t(effect.active));
        EXPECT_EQ(readDword(testControllerKey, "Reverse"), uint32_t(effect.reverse));
        EXPECT_EQ(readDword(testSettingsKey, "LCD Mode"), uint32_t(effect.lcdMode));
        EXPECT_EQ(readDword(testSettingsKey, "Hot-Key 1"), 633u) << "not every field was stored";
        EXPECT_EQ(controller.currentCode, effect.command);
        EXPECT_EQ(windows.count(codeWindowClassName), 1) << "command " << effect.command;
        EXPECT_EQ(controller.lastError, 0);
        EXPECT_TRUE(codeAppears(effect.command)) << "command " << effect.command;
        closeCodeWindows();
    }
}

TEST_F(Commands, OtherHardwareStoresEveryCommandButPaintsNoInterleavedStereoOrOffCode) {
    for (const CommandEffect& effect : commandEffects) {
        SetUp();
        controller.hardware = 1;
        controller.currentCode = 4;
        WindowLog windows;
        EXPECT_EQ(sendCommand(static_cast<DisplayCommand>(effect.command)), 1);

        EXPECT_EQ(controller.active, effect.active) << "command " << effect.command;
        EXPECT_EQ(readDword(testControllerKey, "Active"), uint32_t(effect.active));
        EXPECT_EQ(readDword(testControllerKey, "Reverse"), uint32_t(effect.reverse));
        EXPECT_EQ(readDword(testSettingsKey, "Hardware"), 1u);
        const int expectedWindows = effect.mutedByOtherHardware ? 0 : 1;
        EXPECT_EQ(windows.count(codeWindowClassName), expectedWindows)
            << "command " << effect.command;
        EXPECT_EQ(controller.currentCode, effect.mutedByOtherHardware ? 4 : effect.command);
        closeCodeWindows();
    }
}

TEST_F(Commands, ValuesWithoutAMeaningChangeNothingStoreNothingAndPaintNothing) {
    for (int32_t value : {0, 8, 999, -1, 32767, -32768, 1001}) {
        const ControllerState before = controller;
        RegistryWriteWatch writes;
        ASSERT_TRUE(writes.active());
        WindowLog windows;
        EXPECT_EQ(sendCommand(static_cast<DisplayCommand>(value)), 1) << value;
        EXPECT_EQ(writes.calls(), 0) << value;
        EXPECT_TRUE(windows.created().empty()) << value;
        EXPECT_EQ(memcmp(&before, &controller, sizeof(controller)), 0) << value;
    }
    EXPECT_FALSE(keyExists(testControllerKey));
}

TEST_F(Commands, AFailedStoreIsShownFirstAndTheCodeStillFlashes) {
    MessageBoxWatcher boxes({controllerErrorCaption}, IDOK);
    RegistryWriteWatch failingFirstWrite(1);
    WindowLog windows;

    EXPECT_EQ(sendCommand(LcdMode1), 1);

    EXPECT_TRUE(answeredOneBox(boxes, "Cannot write to Active value in registry."));
    const std::vector<std::string> order{messageBoxClass, codeWindowClassName};
    EXPECT_EQ(windows.createdOf(order), order);
    EXPECT_EQ(controller.lcdMode, 1);
    EXPECT_EQ(controller.lastError, 0);
    EXPECT_TRUE(codeAppears(LcdMode1));
}

TEST_F(Commands, ACodeWindowThatCannotBeMadeFailsTheCommandAfterTheStateIsStored) {
    WindowLog refusing(codeWindowClassName);
    EXPECT_EQ(sendCommand(StereoReverse), 0);
    EXPECT_EQ(controller.lastError, ErrorCreateCodeWindow);
    EXPECT_EQ(controller.currentCode, StereoReverse);
    EXPECT_EQ(readDword(testControllerKey, "Reverse"), 1u);
}

TEST_F(Commands, StereoOffReportsItsOwnFailure) {
    MessageBoxWatcher boxes({controllerErrorCaption}, IDOK);
    {
        WindowLog refusing(codeWindowClassName);
        controller.active = 1;
        stereoOff();
    }
    EXPECT_TRUE(answeredOneBox(boxes, "Cannot create Lumo Code Window."));
    EXPECT_EQ(controller.active, 0);
    EXPECT_EQ(controller.lastError, 0);
}

TEST_F(Commands, AModeChangeSwitchesStereoOffOnlyWhenItIsOnAndClearsTested) {
    for (int32_t active : {1, 0, 2}) {
        SetUp();
        controller.active = active;
        controller.tested = 1;
        WindowLog windows;
        setMode(ModeOverUnder);

        const bool wasOn = active == 1;
        EXPECT_EQ(windows.count(codeWindowClassName), wasOn ? 1 : 0) << "active " << active;
        EXPECT_EQ(controller.currentCode, wasOn ? int32_t(StereoOff) : 0);
        EXPECT_EQ(controller.active, wasOn ? 0 : active);
        EXPECT_EQ(controller.mode, ModeOverUnder);
        EXPECT_EQ(controller.tested, 0);
        EXPECT_EQ(readDword(testSettingsKey, "Mode"), 2u);
        EXPECT_EQ(readDword(testControllerKey, "Tested"), 0u);
        if (wasOn) {
            EXPECT_TRUE(codeAppears(StereoOff));
        }
        closeCodeWindows();
    }
}

} // namespace
