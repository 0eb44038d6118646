# SPDX-License-Identifier: MIT
# The data stamp: the version and a digest of every shipped data file. The installed data carry it
# as share/dovex/.dovex-data-version and the desktop program has it built in for the source
# tree's data/, so that the user's copy of the data is refreshed whenever the data change
# (app/datadir.h). Changing a data file re-runs the configuration.
set(_data_dir ${PROJECT_SOURCE_DIR}/data)
file(GLOB_RECURSE _data_files LIST_DIRECTORIES false ${_data_dir}/*)
list(FILTER _data_files EXCLUDE REGEX "/README\\.md$|/X_SPCTL\\.dat$|\\.tmp")
list(SORT _data_files)
set(_digests "")
foreach(f IN LISTS _data_files)
  file(SHA256 ${f} _h)
  file(RELATIVE_PATH _rel ${_data_dir} ${f})
  string(APPEND _digests "${_rel} ${_h}\n")
endforeach()
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_data_files})
string(SHA256 _all "${_digests}")
string(SUBSTRING ${_all} 0 16 _all)
set(DOVEX_DATA_STAMP "${PROJECT_VERSION} ${_all}")
