#pragma once
// The controller's settings in the per-user registry, and the running version's text.

inline constexpr char controllerKeyPath[] = "Software\\Corvane\\Lumo Controller";
inline constexpr char settingsKeyPath[] = "Software\\Corvane\\Lumo Controller\\Settings";

// Fills controller.version from the executable's version resource.
void makeVersionText();

// True when the stored "Version" equals the given text (lastError 13 or 18 when it cannot be read).
bool storedVersionMatches(const char* runningVersion);

// Reads every stored field into the state: 1, or 0 with lastError 13 to 24.
int loadSettings();

// Writes every field (after resetting them to the defaults when the low byte of reset is set):
// 1, or 0 with lastError 1 to 12. What was written before a failing step stays written.
int saveSettings(int reset);

// The start-up decision: load the stored settings when they were written by this version,
// otherwise write the defaults. 0 with lastError when the chosen operation failed (the caller
// reports it); 1 otherwise, also when the key cannot be opened at all.
int loadOrResetSettings();
