#include "code/commands.h"

#include "code/code_window.h"
#include "settings/error_report.h"
#include "settings/settings_store.h"

namespace {

// Changes the state as the command says; false for a value that is no command.
bool applyCommand(int32_t command) {
    switch (command) {
    case StereoNormal:
    case StereoOnResync:
    case StereoOn:
        controller.active = 1;
        controller.reverse = 0;
        return true;
    case StereoReverse:
        controller.active = 1;
        controller.reverse = 1;
        return true;
    case StereoOff:
        controller.active = 0;
        return true;
    case LcdMode1:
        controller.lcdMode = 1;
        return true;
    case LcdMode2:
        controller.lcdMode = 2;
        return true;
    case LcdModeOff:
        controller.lcdMode = 0;
        return true;
    default:
        return false;
    }
}

// Hardware other than the default shows no code for the interleaved stereo commands and for off.
bool mutedByHardware(int32_t command) {
    return controller.hardware != 0 &&
           (command == StereoNormal || command == StereoReverse || command == StereoOff);
}

void saveReportingFailure() {
    if (!saveSettings(0))
        reportError(controller.lastError);
}

} // namespace

int sendCommand(DisplayCommand command) {
    if (!applyCommand(command))
        return 1;
    saveReportingFailure();
    if (mutedByHardware(command))
        return 1;
    controller.currentCode = command;
    return openCodeWindow();
}

void stereoOff() {
    if (!sendCommand(StereoOff))
        reportError(controller.lastError);
}

void setMode(int32_t mode) {
    if (controller.active == 1)
        stereoOff();
    controller.mode = mode;
    controller.tested = 0;
    saveReportingFailure();
}
