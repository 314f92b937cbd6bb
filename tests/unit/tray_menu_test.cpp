// The tray menus as a user reads them, built by the program from the controller state.

#include "app/tray_menu.h"
#include "code/controller_state.h"
#include "support/popup_menu.h"
#include "support/tray_menus.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct MenuState {
    int32_t mode;
    int32_t active;
    int32_t reverse;
    int32_t lcdMode;
};

struct MenuCase {
    const char* name;
    MenuState state;
    MenuLines expected;
};

const std::vector<MenuCase> menuCases{
    {"interleaved, stereo off", {ModeInterleaved, 0, 0, 0}, interleavedOffMenu},
    {"interleaved, normal, LCD mode 1",
     {ModeInterleaved, 1, 0, 1},
     {"[x] Interleaved (40006)", "Over/Under (40005)", "Page Flip (40004)", "---",
      "[x] Stereo - Normal (40011)", "Stereo - Reverse (40012)", "Stereo - Off (40013)", "---",
      "[x] LCD Mode 1 (40501)", "LCD Mode 2 (40502)", "LCD Mode Off (40505)"}},
    {"interleaved, reversed, LCD mode 2",
     {ModeInterleaved, 1, 1, 2},
     {"[x] Interleaved (40006)", "Over/Under (40005)", "Page Flip (40004)", "---",
      "Stereo - Normal (40011)", "[x] Stereo - Reverse (40012)", "Stereo - Off (40013)", "---",
      "LCD Mode 1 (40501)", "[x] LCD Mode 2 (40502)", "LCD Mode Off (40505)"}},
    {"interleaved, off although reversed, unknown LCD mode",
     {ModeInterleaved, 0, 1, 3},
     {"[x] Interleaved (40006)", "Over/Under (40005)", "Page Flip (40004)", "---",
      "Stereo - Normal (40011)", "Stereo - Reverse (40012)", "[x] Stereo - Off (40013)", "---",
      "LCD Mode 1 (40501)", "LCD Mode 2 (40502)", "[x] LCD Mode Off (40505)"}},
    {"interleaved, active 5 counts as on",
     {ModeInterleaved, 5, 0, -1},
     {"[x] Interleaved (40006)", "Over/Under (40005)", "Page Flip (40004)", "---",
      "[x] Stereo - Normal (40011)", "Stereo - Reverse (40012)", "Stereo - Off (40013)", "---",
      "LCD Mode 1 (40501)", "LCD Mode 2 (40502)", "[x] LCD Mode Off (40505)"}},
    {"page flip, on and reversed",
     {ModePageFlip, 1, 1, 0},
     {"Interleaved (40006)", "Over/Under (40005)", "[x] Page Flip (40004)", "---",
      "[x] Stereo - On/Resync (40014)", "Stereo - Off (40013)", "---", "LCD Mode 1 (40501)",
      "LCD Mode 2 (40502)", "[x] LCD Mode Off (40505)"}},
    {"page flip, off",
     {ModePageFlip, 0, 0, 1},
     {"Interleaved (40006)", "Over/Under (40005)", "[x] Page Flip (40004)", "---",
      "Stereo - On/Resync (40014)", "[x] Stereo - Off (40013)", "---", "[x] LCD Mode 1 (40501)",
      "LCD Mode 2 (40502)", "LCD Mode Off (40505)"}},
    {"over/under, on",
     {ModeOverUnder, 1, 0, 2},
     {"Interleaved (40006)", "[x] Over/Under (40005)", "Page Flip (40004)", "---",
      "[x] Stereo - On (40015)", "Stereo - Off (40013)", "---", "LCD Mode 1 (40501)",
      "[x] LCD Mode 2 (40502)", "LCD Mode Off (40505)"}},
    {"over/under, off",
     {ModeOverUnder, 0, 1, 0},
     {"Interleaved (40006)", "[x] Over/Under (40005)", "Page Flip (40004)", "---",
      "Stereo - On (40015)", "[x] Stereo - Off (40013)", "---", "LCD Mode 1 (40501)",
      "LCD Mode 2 (40502)", "[x] LCD Mode Off (40505)"}},
    {"unknown mode 7: no stereo items, two separators in a row",
     {7, 1, 0, 1},
     {"Interleaved (40006)", "Over/Under (40005)", "Page Flip (40004)", "---", "---",
      "[x] LCD Mode 1 (40501)", "LCD Mode 2 (40502)", "LCD Mode Off (40505)"}},
};

void setState(const MenuCase& menuCase, int32_t hardware) {
    controller = ControllerState{};
    controller.hardware = hardware;
    controller.mode = menuCase.state.mode;
    controller.active = menuCase.state.active;
    controller.reverse = menuCase.state.reverse;
    controller.lcdMode = menuCase.state.lcdMode;
}

// The left click's menu holds the controller's items alone; the right click's adds the window's.
TEST(TrayMenu, ListsModesStereoAndLcdItemsWithTheCurrentChoicesChecked) {
    for (const MenuCase& menuCase : menuCases) {
        setState(menuCase, 0);
        OwnedMenu left = createLeftClickMenu();
        OwnedMenu right = createRightClickMenu();
        ASSERT_TRUE(left && right) << menuCase.name;
        EXPECT_EQ(describeMenu(left.get()), menuCase.expected) << menuCase.name;
        EXPECT_EQ(describeMenu(right.get()), rightClickMenuOf(menuCase.expected)) << menuCase.name;
    }
}

TEST(TrayMenu, OtherHardwareGetsOnlyAboutPropertiesAndExitOnTheRight) {
    for (int32_t hardware : {1, 2, -1}) {
        setState(menuCases[1], hardware);
        OwnedMenu menu = createRightClickMenu();
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(describeMenu(menu.get()), windowMenuItems) << "hardware " << hardware;
    }
}

} // namespace
