# Cross-compiling for 64-bit Windows with MinGW-w64 (Debian:
# g++-mingw-w64-x86-64-posix). Programs are linked statically, so the
# .exe files run on Windows or under Wine without any MinGW DLL beside them.
# Tests run under Wine when it is installed.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CONTIGRA_MINGW_PREFIX x86_64-w64-mingw32)
# The -posix compilers: std::thread and std::mutex need the winpthreads model.
find_program(CMAKE_C_COMPILER NAMES ${CONTIGRA_MINGW_PREFIX}-gcc-posix ${CONTIGRA_MINGW_PREFIX}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${CONTIGRA_MINGW_PREFIX}-g++-posix ${CONTIGRA_MINGW_PREFIX}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${CONTIGRA_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${CONTIGRA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# ctest runs the test programs through Wine, and GoogleTest lists a
# program's tests when ctest starts rather than right after the link, so
# the build itself needs no Wine.
find_program(CONTIGRA_WINE NAMES wine wine64)
if(CONTIGRA_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CONTIGRA_WINE})
endif()
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)

# No GoogleTest package for the target: build it from Debian's sources
# (package googletest).
if(NOT DEFINED CONTIGRA_GTEST_SOURCE AND EXISTS /usr/src/googletest/CMakeLists.txt)
  set(CONTIGRA_GTEST_SOURCE /usr/src/googletest)
endif()
