// The error report on the real message box.

#include "code/controller_state.h"
#include "settings/error_report.h"
#include "support/import_patch.h"
#include "support/message_box.h"
#include "support/test_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The messages as a user reads them, indexed by code.
const std::vector<std::string> expectedMessages{
    "",
    "Cannot write to Controller Subkey in registry.",
    "Cannot write to Controller Settings Subkey in registry.",
    "Cannot write to Active value in registry.",
    "Cannot write to Reverse value in registry.",
    "Cannot write to Tested value in registry.",
    "Cannot write to Version value in registry.",
    "Cannot write to Hardware value in registry.",
    "Unknown error.",
    "Cannot write to Mode value in registry.",
    "Cannot write to Hot-Key 1 value in registry.",
    "Cannot write to Hot-Key 2 value in registry.",
    "Cannot write to Hot-Key 3 value in registry.",
    "Cannot read Controller Subkey in registry.",
    "Cannot read Controller Settings Subkey in registry.",
    "Cannot read Active value in registry.",
    "Cannot read Reverse value in registry.",
    "Cannot read Tested value in registry.",
    "Cannot read Version value in registry.",
    "Cannot read Hardware value in registry.",
    "Unknown error.",
    "Cannot read Mode value in registry.",
    "Cannot read Hot-Key 1 value in registry.",
    "Cannot read Hot-Key 2 value in registry.",
    "Cannot read Hot-Key 3 value in registry.",
    "Cannot register Lumo Code Window class.",
    "Cannot create Lumo Code Window.",
    "Cannot register Test Window class.",
    "Cannot create Test Window.",
    "Cannot register Main Window class.",
    "Cannot create Main Window.",
    "Cannot register On/Off Window class.",
    "Cannot create On/Off Window.",
    "Cannot create About Dialog.",
    "Cannot create Properties Dialog.",
    "Cannot create Test Dialog.",
    "Cannot create Taskbar Icon.",
    "Unable to register Hot-Key 1.",
    "Unable to register Hot-Key 2.",
    "Unable to register Hot-Key 3.",
    "Cannot unregister Hot-Key 1.",
    "Cannot unregister Hot-Key 2.",
    "Cannot unregister Hot-Key 3.",
};

// The style the report asks the system for: Wine draws a box above others only when it is
// modal for the whole system, whatever the style asks.
UINT askedStyle = 0;
void* originalMessageBox = nullptr;

int WINAPI recordingMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
    askedStyle = style;
    return reinterpret_cast<decltype(&MessageBoxA)>(originalMessageBox)(owner, text, caption,
                                                                        style);
}

// Shows the report for a code and returns the one box the user saw.
SeenMessageBox reportAndRead(int32_t code, const char* text = nullptr) {
    MessageBoxWatcher watcher({controllerErrorCaption}, IDOK);
    ImportPatch recording("user32.dll", "MessageBoxA",
                          reinterpret_cast<void*>(recordingMessageBox));
    EXPECT_TRUE(recording.active());
    originalMessageBox = recording.original();
    askedStyle = 0;
    controller.lastError = code;
    reportError(code, text);
    auto boxes = watcher.seen();
    EXPECT_EQ(boxes.size(), 1u) << "code " << code;
    return boxes.empty() ? SeenMessageBox{} : boxes.front();
}

TEST(ErrorReport, ShowsTheMessageOfEveryCodeInATopmostExclamationBoxWithOneOkButton) {
    const HICON exclamation = LoadIconA(nullptr, IDI_EXCLAMATION);
    for (int32_t code = 1; code <= 42; ++code) {
        SeenMessageBox box = reportAndRead(code);
        EXPECT_EQ(box.text, expectedMessages[code]) << "code " << code;
        EXPECT_EQ(box.buttons, okButton) << "code " << code;
        EXPECT_EQ(box.icon, exclamation) << "code " << code;
        // Shown from the background, over a full-screen game, while a client may wait on it.
        EXPECT_EQ(askedStyle,
                  static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION | MB_TOPMOST | MB_SETFOREGROUND))
            << "code " << code;
        EXPECT_EQ(controller.lastError, 0) << "code " << code;
    }
}

TEST(ErrorReport, CodesOutsideTheTableShowUnknownError) {
    for (int32_t code : {8, 20, 43, 44, 1000, -1, -42}) {
        EXPECT_EQ(reportAndRead(code).text, "Unknown error.") << "code " << code;
        EXPECT_EQ(controller.lastError, 0);
    }
}

TEST(ErrorReport, CodeZeroShowsTheCallersTextCutTo127Characters) {
    EXPECT_EQ(reportAndRead(0, "Something particular.").text, "Something particular.");
    const std::string longText(300, 'x');
    EXPECT_EQ(reportAndRead(0, longText.c_str()).text, std::string(127, 'x'));
    EXPECT_EQ(reportAndRead(0).text, "Unknown error.");
}

} // namespace
