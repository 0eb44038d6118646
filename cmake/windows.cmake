# SPDX-License-Identifier: MIT
# The Windows build (MinGW-w64, see mingw-w64.cmake): the Qt-free libraries, dovex-calc and their
# tests. The C++ runtime, libgcc and winpthread are linked into each program, so that a program
# runs from a folder without any MinGW DLL beside it.
# M_PI and the other constants of <cmath>, as glibc gives them.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00 _USE_MATH_DEFINES)
add_link_options(-static -static-libgcc -static-libstdc++)

# The header-only libraries come from the Debian packages of the build machine. Only their own
# folders are put on the include path (never the whole of /usr/include, whose C library headers
# are Linux's); config files in the redirect folder make find_package take them.
set(_hostheaders ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${_hostheaders})
foreach(dir nlohmann CLI)
  if(NOT EXISTS /usr/include/${dir})
    message(FATAL_ERROR "/usr/include/${dir} is missing: run scripts/setup-deps.sh")
  endif()
  file(CREATE_LINK /usr/include/${dir} ${_hostheaders}/${dir} SYMBOLIC)
endforeach()
file(WRITE ${CMAKE_FIND_PACKAGE_REDIRECTS_DIR}/nlohmann_json-config.cmake
     "if(NOT TARGET nlohmann_json::nlohmann_json)
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES \"${_hostheaders}\")
endif()
")
file(WRITE ${CMAKE_FIND_PACKAGE_REDIRECTS_DIR}/nlohmann_json-config-version.cmake
     "set(PACKAGE_VERSION 3.11)\nset(PACKAGE_VERSION_COMPATIBLE TRUE)\n")
file(WRITE ${CMAKE_FIND_PACKAGE_REDIRECTS_DIR}/cli11-config.cmake
     "if(NOT TARGET CLI11::CLI11)
  add_library(CLI11::CLI11 INTERFACE IMPORTED)
  set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES \"${_hostheaders}\")
endif()
")

# GoogleTest built from Debian's sources (package googletest) with this compiler.
set(DOVEX_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for the cross build")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(${DOVEX_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
