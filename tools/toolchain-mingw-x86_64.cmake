# Cross-builds the tested tree for x86-64 on a machine that runs no 32-bit code (tools/wine-arch).
set(ZEZIZER_MINGW_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
