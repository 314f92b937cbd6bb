#pragma once
// What a dialog does when a command that it sends fails: the user sees the code at once.

#include "code/commands.h"
#include "settings/error_report.h"

inline void sendCommandReportingFailure(DisplayCommand command) {
    if (!sendCommand(command))
        reportError(controller.lastError);
}
