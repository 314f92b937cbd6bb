#pragma once
// The one routine through which every command of the controller goes, whatever sent it.

#include "code/controller_state.h"

// Updates the state, stores it and, unless the hardware setting mutes the command, flashes its
// code. 1 when done (also when nothing is painted); 0 with lastError ErrorRegisterCodeWindowClass
// or ErrorCreateCodeWindow when the code window cannot be opened. A failed store is reported at
// once and the command goes on.
int sendCommand(DisplayCommand command);

// Switches stereo off and reports a failure itself.
void stereoOff();

// The tray menu's mode change: stereo off first when it is on, then the new mode, stored.
void setMode(int32_t mode);
