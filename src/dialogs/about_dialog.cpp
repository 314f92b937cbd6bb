#include "dialogs/about_dialog.h"

#include "code/controller_state.h"
#include "resource.h"

#include <cstdio>

namespace {

constexpr int versionLabelSize = 32;

INT_PTR onInitDialog(HWND dialog) {
    char label[versionLabelSize];
    // The field holds at most versionTextSize - 1 characters even if its terminator were lost.
    std::snprintf(label, sizeof(label), "Version:   %.*s", versionTextSize - 1, controller.version);
    SetDlgItemTextA(dialog, IDC_ABOUT_VERSION, label);
    return TRUE;
}

// Only OK closes the box: it has no Cancel, so Escape leaves it open.
void onCommand(HWND dialog, WORD id) {
    if (id == IDOK)
        EndDialog(dialog, IDOK);
}

} // namespace

INT_PTR CALLBACK aboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return onInitDialog(dialog);
    case WM_COMMAND:
        onCommand(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

bool showAboutDialog(HWND owner) {
    return DialogBoxParamA(controller.moduleInstance, MAKEINTRESOURCEA(IDD_ABOUT), owner,
                           aboutDialogProc, 0) != -1;
}
