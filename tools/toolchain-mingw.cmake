# What both cross builds share: mingw-w64 with posix threads for ZEZIZER_MINGW_PROCESSOR, set by
# the toolchain file that includes this one.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${ZEZIZER_MINGW_PROCESSOR})

set(CMAKE_C_COMPILER ${ZEZIZER_MINGW_PROCESSOR}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZEZIZER_MINGW_PROCESSOR}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${ZEZIZER_MINGW_PROCESSOR}-w64-mingw32-windres)
set(ZEZIZER_WIDL ${ZEZIZER_MINGW_PROCESSOR}-w64-mingw32-widl)

set(CMAKE_FIND_ROOT_PATH /usr/${ZEZIZER_MINGW_PROCESSOR}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Tests are Windows programs: run them under Wine with the project's own prefix and display.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-exec)
