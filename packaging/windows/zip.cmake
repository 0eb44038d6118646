# SPDX-License-Identifier: MIT
# dovex-calc for Windows as a zip (cmake --build build-windows --target package-windows):
#   dovex-calc-<version>-win64/dovex-calc.exe   (no MinGW DLLs needed: the runtime is linked in)
#   dovex-calc-<version>-win64/data/...          (the shipped data files, cp932, CR LF)
#   dovex-calc-<version>-win64/README.txt        (Japanese and English)
# The program finds the data folder beside itself. The names in the zip are UTF-8 and marked as
# such, so that Windows unpacks the Japanese file names as they are.
set(_name dovex-calc-${PROJECT_VERSION}-win64)
set(_root ${CMAKE_BINARY_DIR}/package-windows)
set(_zip ${CMAKE_BINARY_DIR}/${_name}.zip)
# The README with the folder's own name (bytes kept: UTF-8 with BOM, CR LF).
file(READ ${CMAKE_CURRENT_LIST_DIR}/README.txt _readme)
string(REPLACE "@PACKAGE_NAME@" "${_name}" _readme "${_readme}")
file(WRITE ${CMAKE_BINARY_DIR}/README-windows.txt "${_readme}")
set(_strip "")
if(CMAKE_STRIP)
  set(_strip COMMAND ${CMAKE_STRIP} --strip-debug ${_root}/${_name}/dovex-calc.exe)
endif()
add_custom_target(package-windows
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${_root} ${_zip}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${_root}/${_name}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:dovex-calc> ${_root}/${_name}/dovex-calc.exe
  ${_strip}
  COMMAND ${CMAKE_COMMAND} -DSRC=${PROJECT_SOURCE_DIR}/data -DDST=${_root}/${_name}/data
          -P ${CMAKE_CURRENT_LIST_DIR}/copydata.cmake
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_BINARY_DIR}/README-windows.txt ${_root}/${_name}/README.txt
  COMMAND ${CMAKE_COMMAND} -E chdir ${_root}
          ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8
          ${CMAKE_COMMAND} -E tar cf ${_zip} --format=zip ${_name}
  DEPENDS dovex-calc
  COMMENT "Zip of dovex-calc for Windows: ${_name}.zip"
  VERBATIM)
