# SPDX-License-Identifier: MIT
# Cross build for 64-bit Windows with Debian's MinGW-w64 compiler (the POSIX thread model, which
# std::thread and std::mutex need). The programs run on Linux under Wine: ctest starts each test
# through it.
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(DOVEX_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${DOVEX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DOVEX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${DOVEX_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${DOVEX_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
find_program(DOVEX_WINE wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${DOVEX_WINE})
