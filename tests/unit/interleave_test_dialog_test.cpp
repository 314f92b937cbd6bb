// The interleave test dialog on the screen: where it puts the picture for each eye order, what
// the eye-order button sends and shows, and what OK and Cancel leave in the state.

#include "code/code_window.h"
#include "code/controller_state.h"
#include "dialogs/interleave_test_dialog.h"
#include "resource.h"
#include "support/bitmap_resource.h"
#include "support/code_on_screen.h"
#include "support/dialog_driver.h"
#include "support/message_box.h"
#include "support/fresh_controller.h"
#include "support/registry.h"
#include "support/screen.h"
#include "support/wait.h"
#include "support/window_log.h"
#include "support/windows.h"
#include "support/test_names.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

// Room for the dialog to the owner's left.
constexpr int ownerLeft = 400;

std::optional<uint32_t> storedReverse() {
    return readDword(testControllerKey, "Reverse");
}

class InterleaveTest : public testing::Test {
  protected:
    void SetUp() override {
        startFreshController();
        owner_ = CreateWindowExA(0, "STATIC", "test owner", WS_POPUP | WS_VISIBLE, ownerLeft, 200,
                                 400, 400, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(owner_, nullptr);
        ASSERT_TRUE(codeWindowsGone());
    }

    void TearDown() override {
        DestroyWindow(owner_);
        EXPECT_TRUE(codeWindowsGone());
        deleteCorvaneKey();
    }

    INT_PTR run(const std::function<void(HWND)>& user) { return runOwnedBy(owner_, user); }

    static INT_PTR runOwnedBy(HWND owner, const std::function<void(HWND)>& user) {
        INT_PTR result = 0;
        driveDialog(
            normalTestDialogTitle, [&] { result = runInterleaveTestDialog(owner); }, user);
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
                // The template puts the dialog's client area level with the owner's top; the
                // dialog opens beside its owner, not over it.
                POINT client{0, 0};
                ClientToScreen(dialog, &client);
                const LONG shift = client.y - ownerTop;
                EXPECT_TRUE(shift == 0 || shift == 1) << "moved by " << shift;
                moves += shift;
                RECT frame;
                GetWindowRect(dialog, &frame);
                EXPECT_EQ(frame.right, ownerLeft) << "not beside its owner";
                // The eye order does not change the texts it starts with.
                EXPECT_EQ(windowText(dialog), normalTestDialogTitle);
                EXPECT_EQ(controlText(dialog, IDC_TEST_TOGGLE), "Reverse");
                click(dialog, IDOK);
            });
            EXPECT_EQ(result, IDOK);
        }
        EXPECT_EQ(moves, 1) << "reverse " << reverse
                            << ": of two starting rows one after the other, one is right";
    }
}

TEST_F(InterleaveTest, AgainstTheWorkAreasLeftEdgeItOpensToTheOwnersRight) {
    RECT workArea;
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0));
    MoveWindow(owner_, workArea.left, 200, 400, 400, FALSE);
    run([&](HWND dialog) {
        RECT frame;
        GetWindowRect(dialog, &frame);
        EXPECT_EQ(frame.left, workArea.left + 400) << "not beside its owner";
        EXPECT_EQ(pictureTopRow(dialog) % 2, 1);
        click(dialog, IDOK);
    });
}

// A client's TestDialog call opens the test without an owner to stand beside.
TEST_F(InterleaveTest, WithoutAnOwnerItOpensWhereItsTemplatePutsItOnTheScreen) {
    RECT workArea;
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0));
    runOwnedBy(nullptr, [&](HWND dialog) {
        RECT frame;
        GetWindowRect(dialog, &frame);
        EXPECT_GE(frame.left, workArea.left);
        EXPECT_LE(frame.right, workArea.right);
        EXPECT_LT(frame.left, ownerLeft) << "placed by an owner that is not there";
        EXPECT_EQ(pictureTopRow(dialog) % 2, 1);
        click(dialog, IDOK);
    });
}

constexpr int pictureSize = 256;

// The first pixel where the picture control on the screen differs from the bitmap, or none.
std::optional<POINT> firstDifference(HWND picture) {
    HDC dc = GetDC(picture);
    Capture shown(dc, pictureSize, pictureSize);
    ReleaseDC(picture, dc);
    static const BitmapResource bitmap(IDB_INTERLEAVE_TEST);
    for (int y = 0; y < pictureSize; ++y)
        for (int x = 0; x < pictureSize; ++x)
            if (shown.pixel(x, y) != bitmap.colour(x, y))
                return POINT{x, y};
    return std::nullopt;
}

TEST_F(InterleaveTest, ShowsTheWholeTestPictureUnscaled) {
    ASSERT_TRUE(BitmapResource(IDB_INTERLEAVE_TEST).found());
    run([](HWND dialog) {
        HWND picture = GetDlgItem(dialog, IDC_TEST_PICTURE);
        RECT client;
        GetClientRect(picture, &client);
        EXPECT_EQ(client.right, pictureSize);
        EXPECT_EQ(client.bottom, pictureSize);
        std::optional<POINT> difference;
        EXPECT_TRUE(waitUntil(
            [&] {
                difference = firstDifference(picture);
                return !difference;
            },
            dialogAppearsMs))
            << "first difference at " << difference->x << ", " << difference->y;
        click(dialog, IDOK);
    });
}

// After a press of the eye button: the order in the state and the registry, its code on the
// screen, and the texts of the dialog that name the order shown and the other one.
void expectEyeOrder(HWND dialog, int32_t reverse) {
    EXPECT_EQ(controller.reverse, reverse);
    EXPECT_EQ(storedReverse(), uint32_t(reverse));
    EXPECT_TRUE(codeAppears(reverse ? StereoReverse : StereoNormal));
    EXPECT_EQ(windowText(dialog), reverse ? reverseTestDialogTitle : normalTestDialogTitle);
    EXPECT_EQ(controlText(dialog, IDC_TEST_TOGGLE), reverse ? "Normal" : "Reverse");
}

TEST_F(InterleaveTest, TheEyeButtonStoresTheOrderSendsItsCodeAndRenamesTheTest) {
    controller.tested = 0;
    const INT_PTR result = run([](HWND dialog) {
        click(dialog, IDC_TEST_TOGGLE);
        expectEyeOrder(dialog, 1);
        EXPECT_EQ(controller.active, 1);
        click(dialog, IDC_TEST_TOGGLE);
        expectEyeOrder(dialog, 0);
        click(dialog, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(controller.tested, 1);
}

TEST_F(InterleaveTest, StartedReversedTheFirstPressGoesBackToNormalEyes) {
    controller.reverse = 1;
    controller.tested = 1;
    const INT_PTR result = run([](HWND dialog) {
        // It starts named for normal eyes, as the first press then makes them.
        click(dialog, IDC_TEST_TOGGLE);
        expectEyeOrder(dialog, 0);
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
    WindowLog refusal(codeWindowClassName);
    MessageBoxWatcher watcher({controllerErrorCaption}, IDOK);
    run([](HWND dialog) {
        click(dialog, IDC_TEST_TOGGLE);
        EXPECT_EQ(controller.reverse, 1);
        EXPECT_EQ(windowText(dialog), reverseTestDialogTitle);
        EXPECT_EQ(controlText(dialog, IDC_TEST_TOGGLE), "Normal");
        click(dialog, IDOK);
    });
    EXPECT_TRUE(answeredOneBox(watcher, "Cannot create Lumo Code Window."));
}

TEST_F(InterleaveTest, ReportsThatItCannotBeCreatedWithoutItsTemplate) {
    controller.moduleInstance = GetModuleHandleA("kernel32.dll");
    EXPECT_EQ(runInterleaveTestDialog(owner_), -1);
}

} // namespace
