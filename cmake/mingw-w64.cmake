# Cross-building the Windows program on Linux with mingw-w64, and running what was built (the
# tests) under Wine. The posix thread model gives std::thread and friends; static runtime
# libraries leave the exe needing only DLLs that every Windows has.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PIKORINA_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PIKORINA_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PIKORINA_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${PIKORINA_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PIKORINA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# No build folder in anything the compiler writes down (file names in assertions and debug
# information), so that the release does not depend on where it was built.
get_filename_component(PIKORINA_SOURCE_ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(CMAKE_C_FLAGS_INIT "-ffile-prefix-map=${PIKORINA_SOURCE_ROOT}=.")
set(CMAKE_CXX_FLAGS_INIT "-ffile-prefix-map=${PIKORINA_SOURCE_ROOT}=.")

# Test programs run through Wine; the wrapper keeps Wine's helper processes off ctest's pipe.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run)
