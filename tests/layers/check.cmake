# SPDX-License-Identifier: MIT
# The layers of the program's folders: every #include "folder/..." of a source file points down
# (to a folder of a lower rank) or stays within its own folder. Folders of one rank do not
# include each other. Run as: cmake -DSOURCE_DIR=<repository> -P tests/layers/check.cmake
#   0 engine       physics engine and data readers
#   1 effdose      the effective dose estimate
#   2 calculation  the one calculation, its tables and its data loading
#   3 results      results table model and CSV file; records: dose records
#   4 ui           shared window pieces
#   5 dialogs, results/gui, records/gui, charts
#   6 app, cli     the programs
if(NOT SOURCE_DIR)
  message(FATAL_ERROR "check.cmake needs -DSOURCE_DIR=<repository>")
endif()
# Sub-folders first: a file of results/gui belongs to results/gui, not to results.
set(folders results/gui records/gui engine effdose calculation results records ui dialogs charts app cli)
set(rank_engine 0)
set(rank_effdose 1)
set(rank_calculation 2)
set(rank_results 3)
set(rank_records 3)
set(rank_ui 4)
set(rank_dialogs 5)
set(rank_results/gui 5)
set(rank_records/gui 5)
set(rank_charts 5)
set(rank_app 6)
set(rank_cli 6)

# The layer folder a path inside the repository belongs to, or "" for none.
function(folder_of path out)
  set(found "")
  foreach(f ${folders})
    string(LENGTH "${f}/" n)
    string(SUBSTRING "${path}" 0 ${n} head)
    if(head STREQUAL "${f}/")
      set(found "${f}")
      break()
    endif()
  endforeach()
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

set(faults "")
set(checked 0)
foreach(f ${folders})
  if(NOT IS_DIRECTORY "${SOURCE_DIR}/${f}")
    continue()
  endif()
  file(GLOB_RECURSE sources RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/${f}/*.h"
       "${SOURCE_DIR}/${f}/*.cpp")
  foreach(src ${sources})
    folder_of("${src}" own)
    if(NOT own STREQUAL f)
      continue()  # a file of a sub-folder is checked with its own folder
    endif()
    math(EXPR checked "${checked} + 1")
    file(STRINGS "${SOURCE_DIR}/${src}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]*/")
    foreach(line ${includes})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*" "\\1" target "${line}")
      folder_of("${target}" to)
      if(to STREQUAL own)
        continue()
      endif()
      if(to STREQUAL "")
        list(APPEND faults "${src}: #include \"${target}\" is outside the program's layers")
      elseif(NOT rank_${to} LESS rank_${own})
        list(APPEND faults
             "${src}: #include \"${target}\" points from ${own} (layer ${rank_${own}}) to ${to} (layer ${rank_${to}})")
      endif()
    endforeach()
  endforeach()
endforeach()

if(checked EQUAL 0)
  message(FATAL_ERROR "no source file found under ${SOURCE_DIR}")
endif()
if(faults)
  list(JOIN faults "\n" text)
  message(FATAL_ERROR "includes against the layers:\n${text}")
endif()
message(STATUS "${checked} source files, every include points down the layers")
