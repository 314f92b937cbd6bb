#include "dialogs/interleave_test_dialog.h"

#include "code/controller_state.h"
#include "dialogs/dialog_commands.h"
#include "resource.h"

namespace {

// What the dialog shows and sends for one eye order.
struct EyeOrder {
    int32_t reverse;
    DisplayCommand command;
    const char* title;
    const char* toggleText;
};

constexpr EyeOrder normalOrder{0, StereoNormal, "Normal Interleaved Mode", "Reverse"};
constexpr EyeOrder reversedOrder{1, StereoReverse, "Reverse Interleaved Mode", "Normal"};

bool isOdd(LONG row) {
    return row % 2 != 0;
}

// The template opens the test over the Properties dialog, which it owns. A window opened wholly
// inside another of the program's windows stays black on the X screen under Wine, though it
// paints; beside its owner the picture shows: to the left where the work area has room, else to
// the right, else as far left as the work area allows. Opened without an owner, it stays where the
// template puts it.
LONG leftEdgeBesideOwner(HWND dialog, const RECT& frame) {
    RECT owner;
    if (!GetWindowRect(GetWindow(dialog, GW_OWNER), &owner))
        return frame.left;
    RECT workArea;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0);
    const LONG width = frame.right - frame.left;
    if (owner.left - width >= workArea.left)
        return owner.left - width;
    if (owner.right + width <= workArea.right)
        return owner.right;
    return workArea.left;
}

// Each eye sees alternate scan lines, so the picture's first row must start on an odd screen
// row for the normal eye order and on an even one for the reversed order.
void placeDialog(HWND dialog) {
    POINT pictureTop{0, 0};
    ClientToScreen(GetDlgItem(dialog, IDC_TEST_PICTURE), &pictureTop);
    RECT frame;
    GetWindowRect(dialog, &frame);
    const bool wantOdd = controller.reverse == 0;
    const LONG shift = isOdd(pictureTop.y) == wantOdd ? 0 : 1;
    MoveWindow(dialog, leftEdgeBesideOwner(dialog, frame), frame.top + shift,
               frame.right - frame.left, frame.bottom - frame.top, TRUE);
}

INT_PTR onInitDialog(HWND dialog) {
    placeDialog(dialog);
    return TRUE;
}

void onToggle(HWND dialog) {
    const EyeOrder& next = controller.reverse ? normalOrder : reversedOrder;
    controller.reverse = next.reverse;
    sendCommandReportingFailure(next.command);
    SetWindowTextA(dialog, next.title);
    SetDlgItemTextA(dialog, IDC_TEST_TOGGLE, next.toggleText);
}

void close(HWND dialog, int32_t tested, INT_PTR result) {
    controller.tested = tested;
    EndDialog(dialog, result);
}

void onCommand(HWND dialog, WORD id) {
    switch (id) {
    case IDC_TEST_TOGGLE:
        onToggle(dialog);
        break;
    case IDOK:
        close(dialog, 1, IDOK);
        break;
    case IDCANCEL:
        close(dialog, 0, IDCANCEL);
        break;
    }
}

INT_PTR CALLBACK interleaveTestDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return onInitDialog(dialog);
    case WM_COMMAND:
        onCommand(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

} // namespace

INT_PTR runInterleaveTestDialog(HWND owner) {
    return DialogBoxParamA(controller.moduleInstance, MAKEINTRESOURCEA(IDD_INTERLEAVE_TEST), owner,
                           interleaveTestDialogProc, 0);
}
