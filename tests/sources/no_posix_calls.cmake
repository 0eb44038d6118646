# SPDX-License-Identifier: MIT
cmake_minimum_required(VERSION 3.24)
# The window's code (app/, dialogs/, ui/, results/gui/, charts/) and the Qt-free libraries reach
# the operating system only through Qt or engine/platform.{h,cpp}: no POSIX header and no POSIX
# call of their own, so that the same sources build for Windows.
# Run by ctest: cmake -DROOT=<source folder> -P no_posix_calls.cmake
set(_folders app dialogs ui results/gui charts engine effdose calculation results records cli)
set(_allowed engine/platform.cpp)
# POSIX headers, and calls made through the global namespace or known only to POSIX.
set(_patterns
    "#include[ \t]*<(unistd|fcntl|pwd|grp|dirent|dlfcn|iconv|poll|termios|spawn|syslog)\\.h>"
    "#include[ \t]*<sys/[a-z_]+\\.h>"
    "(^|[^a-zA-Z0-9_:>])::(open|close|read|write|stat|fstat|lstat|unlink|rename|fsync|mkfifo|access|getuid|geteuid|getpid|isatty|readlink|symlink|chmod|mkdir|rmdir|opendir|popen|pclose|fork|execv|execvp|waitpid|kill|setenv|unsetenv)[ \t]*\\("
    "[^a-zA-Z_:.>](popen|fork|execvp|waitpid|getpwuid|getpwnam|mkfifo|readlink|isatty|geteuid|getuid|iconv_open)[ \t]*\\("
    "/proc/self")
set(_bad "")
foreach(folder ${_folders})
  if(NOT IS_DIRECTORY ${ROOT}/${folder})
    continue()
  endif()
  file(GLOB_RECURSE _files RELATIVE ${ROOT} ${ROOT}/${folder}/*.cpp ${ROOT}/${folder}/*.h)
  foreach(f ${_files})
    if(f IN_LIST _allowed)
      continue()
    endif()
    # results/ holds results/gui/: the folder loop meets those files twice, once is enough.
    if(folder STREQUAL "results" AND f MATCHES "^results/gui/")
      continue()
    endif()
    file(STRINGS ${ROOT}/${f} _lines)
    set(_n 0)
    foreach(line IN LISTS _lines)
      math(EXPR _n "${_n} + 1")
      string(REGEX REPLACE "//.*$" "" _code "${line}")
      foreach(p ${_patterns})
        if(_code MATCHES "${p}")
          string(APPEND _bad "  ${f}:${_n}: ${line}\n")
          break()
        endif()
      endforeach()
    endforeach()
  endforeach()
endforeach()
if(_bad)
  message(FATAL_ERROR "Direct POSIX calls outside engine/platform.cpp (go through it or Qt):\n${_bad}")
endif()
message(STATUS "No direct POSIX calls outside engine/platform.cpp")
