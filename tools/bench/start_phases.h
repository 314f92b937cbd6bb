#pragma once
// Where the controller's start-up time goes: the phases that it marks for a listening debugger.

// Starts the controller under a debug loop of lumobench's own several times and prints one row a
// phase, and the DLLs loaded before the entry routine.
void reportStartPhases();
