#pragma once
// Shows an error code to the user in a modal message box and clears lastError.

#include <cstdint>

inline constexpr char errorCaption[] = "Lumo Controller Error";
inline constexpr char unknownErrorText[] = "Unknown error.";

// The fixed text of a code: the table's message for 1 to 42, "Unknown error." otherwise.
const char* errorMessage(int32_t code);

// Code 0 shows the caller's text (or "Unknown error." without one); any other code its message.
void reportError(int32_t code, const char* text = nullptr);
