// The About box on the screen: the running version and how it closes.

#include "code/controller_state.h"
#include "dialogs/about_dialog.h"
#include "resource.h"
#include "settings/settings_store.h"
#include "support/fresh_controller.h"
#include "support/dialog_driver.h"
#include "support/running_version.h"
#include "support/wait.h"
#include "support/test_names.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class AboutBox : public testing::Test {
  protected:
    void SetUp() override { startFreshController(); }

    // Runs the box's template with its procedure and returns the box's result.
    static INT_PTR runAbout(const std::function<void(HWND)>& user) {
        INT_PTR result = 0;
        driveDialog(
            aboutBoxTitle,
            [&] {
                result = DialogBoxParamA(controller.moduleInstance, MAKEINTRESOURCEA(IDD_ABOUT),
                                         nullptr, aboutDialogProc, 0);
            },
            user);
        return result;
    }
};

TEST_F(AboutBox, ShowsTheRunningVersion) {
    makeVersionText();
    bool shown = false;
    driveDialog(
        aboutBoxTitle, [&] { shown = showAboutDialog(nullptr); },
        [](HWND box) {
            EXPECT_EQ(controlText(box, IDC_ABOUT_VERSION),
                      std::string("Version:   ") + runningVersion);
            click(box, IDOK);
        });
    EXPECT_TRUE(shown);
}

TEST_F(AboutBox, ShowsWhateverVersionTextTheStateHolds) {
    std::strcpy(controller.version, "65535.65535.65535.6");
    runAbout([](HWND box) {
        EXPECT_EQ(controlText(box, IDC_ABOUT_VERSION), "Version:   65535.65535.65535.6");
    });
}

TEST_F(AboutBox, EscapeLeavesItOpenAndOnlyOkClosesIt) {
    const INT_PTR result = runAbout([](HWND box) {
        EXPECT_EQ(GetWindowLongA(box, GWL_STYLE) & WS_SYSMENU, 0) << "the box has a close box";
        click(box, IDCANCEL);
        EXPECT_TRUE(IsWindowVisible(box)) << "closed by IDCANCEL";
        ASSERT_TRUE(typeKeys(box, {VK_ESCAPE}));
        waitForDialogThread();
        EXPECT_TRUE(IsWindowVisible(box)) << "closed by Escape";
        // Enter presses the default button, OK.
        ASSERT_TRUE(typeKeys(box, {VK_RETURN}));
        EXPECT_TRUE(waitUntil([&] { return !IsWindowVisible(box); }, dialogAppearsMs));
    });
    EXPECT_EQ(result, IDOK);
}

TEST_F(AboutBox, ReportsThatItCannotBeCreatedWithoutItsTemplate) {
    controller.moduleInstance = GetModuleHandleA("kernel32.dll");
    EXPECT_FALSE(showAboutDialog(nullptr));
}

} // namespace
