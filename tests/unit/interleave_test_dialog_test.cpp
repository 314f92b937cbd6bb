// The interleave test dialog on the screen: where it puts the picture for each eye order, what
// the eye-order button sends and shows, and what OK and Cancel leave in the state.

#include "code/code_window.h"
#include "code/controller_state.h"
#include "dialogs/interleave_test_dialog.h"
#include "resource.h"
#include "support/code_table.h"
#include "support/dialog_driver.h"
#include "support/message_box.h"
#include "support/screen.h"
#include "support/wait.h"
#include "support/window_refusal.h"
#include "support/windows.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

constexpr char normalTitle[] = "Normal Interleaved Mode";
constexpr char reverseTitle[] = "Reverse Interleaved Mode";
constexpr DWORD codeAppearsMs = 3000;
constexpr int ownerLeft = 150;

bool screenShowsCode(int32_t command) {
    for (const ExpectedCode& code : expectedCodes) {
        if (code.command != command)
            continue;
        const int rows = static_cast<int>(code.rows.size());
        Capture screen = Capture::screen(GetSystemMetrics(SM_CXSCREEN), rows);
        for (int y = 0; y < rows; ++y)
            if (screen.firstMismatch(y, colourOfLetter(code.rows[y])) != -1)
                return false;
        return true;
    }
    return false;
}

bool codeAppears(int32_t command) {
    return waitUntil([&] { return screenShowsCode(command); }, codeAppearsMs);
}

bool noCodeWindows() {
    return topLevelWindowsOfClass(codeWindowClassName).empty();
}

DWORD storedReverse() {
    DWORD value = 0;
    DWORD size = sizeof(value);
    RegGetValueA(HKEY_CURRENT_USER, "Software\\Corvane\\Lumo Controller", "Reverse",
                 RRF_RT_REG_DWORD, nullptr, &value, &size);
    return value;
}

class InterleaveTest : public testing::Test {
  protected:
    void SetUp() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Corvane");
        controller = ControllerState{};
        controller.moduleInstance = GetModuleHandleA(nullptr);
            owner_ = CreateWindowExA(0, "STATIC", "test owner", WS_POPUP | WS_VISIBLE, ownerLeft, 200,
                                 400, 400, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(owner_, nullptr);
        ASSERT_TRUE(waitUntil(noCodeWindows, codeAppearsMs));
    }

    void TearDown() override {
        DestroyWindow(owner_);
        EXPECT_TRUE(waitUntil(noCodeWindows, codeAppearsMs));
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Corvane");
    }

    INT_PTR run(const std::function<void(HWND)>& user) {
        INT_PTR result = 0;
        driveDialog(
            normalTitle, [&] { result = runInterleaveTestDialog(owner_); }, user);
        return result;
    }

    HWND owner_ = nullptr;
};

LONG pictureTopRow(HWND dialog) {
    POINT top{0, 0};
    ClientToScreen(GetDlgItem(dialog, IDC_TEST_PICTURE), &top);
    return top.y;
}

TEST_F(InterleaveTest, PutsThePictureOnAnOddRowForNormalEyesAndAnEvenRowForReversed) {
    for (int32_t reverse : {0, 1}) {
        int moves = 0;
        for (int ownerTop : {200, 201}) {
            MoveWindow(owner_, ownerLeft, ownerTop, 400, 400, FALSE);
            controller.reverse = reverse;
            const INT_PTR result = run([&](HWND dialog) {
                const LONG row = pictureTopRow(dialog);
                EXPECT_EQ(row % 2, reverse == 0 ? 1 : 0)
                    << "reverse " << reverse << ", picture on row " << row;
                // The template puts the dialog's client area at the owner's top left corner.
                POINT client{0, 0};
                ClientToScreen(dialog, &client);
                const LONG shift = client.y - ownerTop;
                EXPECT_TRUE(shift == 0 || shift == 1) << "moved by " << shift;
                moves += shift;
                EXPECT_EQ(client.x, ownerLeft) << "moved sideways";
                // The eye order does not change the texts it starts with.
                EXPECT_EQ(windowText(dialog), normalTitle);
                EXPECT_EQ(controlText(dialog, IDC_TEST_TOGGLE), "Reverse");
                click(dialog, IDOK);
            });
            EXPECT_EQ(result, IDOK);
        }
        EXPECT_EQ(moves, 1) << "reverse " << reverse
                            << ": of two starting rows one after the other, one is right";
    }
}

TEST_F(InterleaveTest, TheEyeButtonStoresTheOrderSendsItsCodeAndRenamesTheTest) {
    controller.tested = 0;
    const INT_PTR result = run([](HWND dialog) {
        click(dialog, IDC_TEST_TOGGLE);
        EXPECT_EQ(controller.reverse, 1);
        EXPECT_EQ(controller.active, 1);
        EXPECT_EQ(storedReverse(), 1u);
        EXPECT_TRUE(codeAppears(StereoReverse));
        EXPECT_EQ(windowText(dialog), reverseTitle);
        EXPECT_EQ(controlText(dialog, IDC_TEST_TOGGLE), "Normal");

        click(dialog, IDC_TEST_TOGGLE);
        EXPECT_EQ(controller.reverse, 0);
        EXPECT_EQ(storedReverse(), 0u);
        EXPECT_TRUE(codeAppears(StereoNormal));
        EXPECT_EQ(windowText(dialog), normalTitle);
        EXPECT_EQ(controlText(dialog, IDC_TEST_TOGGLE), "Reverse");
        click(dialog, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(controller.tested, 1);
}

TEST_F(InterleaveTest, StartedReversedTheFirstPressGoesBackToNormalEyes) {
    controller.reverse = 1;
    controller.tested = 1;
    const INT_PTR result = run([](HWND dialog) {
        click(dialog, IDC_TEST_TOGGLE);
        EXPECT_EQ(controller.reverse, 0);
        EXPECT_TRUE(codeAppears(StereoNormal));
        EXPECT_EQ(windowText(dialog), normalTitle);
        EXPECT_EQ(controlText(dialog, IDC_TEST_TOGGLE), "Reverse");
        click(dialog, IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(controller.tested, 0) << "Cancel kept an earlier confirmation";
}

TEST_F(InterleaveTest, EscapeAndTheCloseBoxCancel) {
    controller.tested = 1;
    EXPECT_EQ(run([](HWND dialog) { ASSERT_TRUE(typeKeys(dialog, {VK_ESCAPE})); }), IDCANCEL);
    EXPECT_EQ(controller.tested, 0);

    controller.tested = 1;
    EXPECT_EQ(run([](HWND dialog) { SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }), IDCANCEL);
    EXPECT_EQ(controller.tested, 0);
}

TEST_F(InterleaveTest, AFailedCommandIsReportedAndTheEyesStillSwap) {
    WindowRefusal refusal(WindowRefusal::Match::ClassName, codeWindowClassName);
    ASSERT_TRUE(refusal.active());
    MessageBoxWatcher watcher({"Lumo Controller Error"}, IDOK);
    run([](HWND dialog) {
        click(dialog, IDC_TEST_TOGGLE);
        EXPECT_EQ(controller.reverse, 1);
        EXPECT_EQ(windowText(dialog), reverseTitle);
        EXPECT_EQ(controlText(dialog, IDC_TEST_TOGGLE), "Normal");
        click(dialog, IDOK);
    });
    const auto boxes = watcher.seen();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Cannot create Lumo Code Window.");
}

TEST_F(InterleaveTest, ReportsThatItCannotBeCreatedWithoutItsTemplate) {
    controller.moduleInstance = GetModuleHandleA("kernel32.dll");
    EXPECT_EQ(runInterleaveTestDialog(owner_), -1);
}

} // namespace
