# Cross-builds the 32-bit Windows programs on Debian with mingw-w64 (posix threads).
set(ZEZIZER_MINGW_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
