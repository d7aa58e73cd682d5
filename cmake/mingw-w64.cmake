# Cross build of the Windows program with mingw-w64 (64-bit, POSIX thread
# model), for example
#
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
#   cmake --build build-windows
#
# Every program is linked statically against the compiler's runtime, so that
# liaison.exe and the test programs need no DLL beyond those of Windows. When
# wine is installed, CTest runs the cross-built tests under it, each build
# folder with its own wine prefix.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(LIAISON_MINGW_TRIPLET x86_64-w64-mingw32)

# The POSIX thread model first: its C++ runtime has std::thread and
# std::mutex, which GoogleTest and the standard library's users expect.
find_program(CMAKE_C_COMPILER NAMES ${LIAISON_MINGW_TRIPLET}-gcc-posix ${LIAISON_MINGW_TRIPLET}-gcc
             REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${LIAISON_MINGW_TRIPLET}-g++-posix
                                      ${LIAISON_MINGW_TRIPLET}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${LIAISON_MINGW_TRIPLET}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${LIAISON_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No libgcc, libstdc++ or libwinpthread DLL beside the programs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Release programs without their symbol tables.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
set(CMAKE_EXE_LINKER_FLAGS_MINSIZEREL_INIT "-s")

# Run the cross-built programs (tests, test discovery) under wine.
find_program(LIAISON_WINE NAMES wine wine64 PATHS /usr/lib/wine /usr/lib64/wine)
if(LIAISON_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      /usr/bin/env WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix WINEDEBUG=-all
      # no offer to install wine's .NET and HTML engines when the prefix is made
      WINEDLLOVERRIDES=mscoree,mshtml= ${LIAISON_WINE})
  # Each start of wine costs seconds: list the tests of a GoogleTest program
  # when CTest runs it rather than at every build.
  set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
endif()
