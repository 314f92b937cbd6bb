#pragma once
// The version the built controller runs with and stores: the generated version header's, which
// the project version in CMakeLists.txt states.

#include "zezizer_version.h"

inline constexpr char runningVersion[] = ZEZIZER_VERSION_TEXT;
