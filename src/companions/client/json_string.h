#pragma once
// Text as a JSON string, for the companions' --json lines.

#include <string>

// The text in quotes, with quotes, backslashes and control characters escaped.
std::string jsonString(const std::string& text);

// true or false.
const char* jsonBool(bool value);
