# Cross-compiles for 64-bit Windows with MinGW-w64 (posix threads, so that
# std::thread and std::mutex are there) and runs the results under Wine.
#
#   cmake -S . -B build/windows -G Ninja \
#     -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake \
#     -DKESTROVA_WITH_QT=OFF -DKESTROVA_BUILD_BENCH=OFF
#
# The C and C++ runtimes and winpthread are linked statically, so the
# programs and DLLs run under Wine without copying the compiler's DLLs.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_kestrova_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_kestrova_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_kestrova_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${_kestrova_mingw}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${_kestrova_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# ctest (and anything else that runs a built program) goes through Wine,
# with a prefix of its own in the build folder, quiet, and without the .NET
# and HTML engines it would otherwise offer to install. Debian installs the
# 64-bit loader outside the command path.
find_program(KESTROVA_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(KESTROVA_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      env "WINEPREFIX=${CMAKE_BINARY_DIR}/wine" WINEDEBUG=-all "WINEDLLOVERRIDES=mscoree,mshtml="
      "${KESTROVA_WINE}")
endif()
