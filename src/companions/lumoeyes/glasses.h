#pragma once
// The glasses as the controller left them, read from its stored settings, and the commands that
// switch them for a test and back.

#include "lumoeyes/options.h"

struct GlassesState {
    bool active = false;
    bool reverse = false;
    StereoMode mode = ModeInterleaved;
};

// The controller's stored "Active", "Reverse" and "Mode"; what is not stored counts as the
// controller's defaults (stereo off, normal order, Interleaved).
GlassesState storedGlassesState();

// The stereo-on command of a mode: Interleaved in the given eye order, Page Flip's resync,
// Over/Under's stereo on.
short stereoOnCommand(StereoMode mode, bool reverse);

// The command that puts the glasses back as they were: stereo off, or the command that was on.
short restoringCommand(const GlassesState& before);
