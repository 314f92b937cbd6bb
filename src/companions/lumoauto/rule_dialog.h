#pragma once
// The dialog that makes or changes one rule, and the file picker for a program.

#include "lumoauto/rules.h"

#include <windows.h>

#include <optional>
#include <string>

// A program chosen in the system's file picker (.exe files), or nothing when cancelled.
std::optional<std::wstring> pickProgram(HWND owner, const std::wstring& start = L"");

// Shows the rule in the dialog; the rule as changed and stored, or nothing when cancelled. A stored
// rule moved to another program takes the old program's rule away.
std::optional<Rule> editRule(HWND owner, const Rule& rule, bool stored);
