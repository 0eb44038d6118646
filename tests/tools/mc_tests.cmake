# SPDX-License-Identifier: MIT
# Tests of the photon Monte Carlo generator (tools/mc) and of the files it generated.
if(TARGET dovex_mc)
  set(_mc_dir ${CMAKE_CURRENT_LIST_DIR})
  add_executable(mc_tests
    ${_mc_dir}/mc_physics_test.cpp
    ${_mc_dir}/mc_transport_test.cpp
    ${_mc_dir}/mc_output_test.cpp
  )
  target_link_libraries(mc_tests PRIVATE dovex_mc dovex_effdose GTest::gtest_main)
  target_compile_options(mc_tests PRIVATE ${DOVEX_WARNINGS})
  gtest_discover_tests(mc_tests DISCOVERY_TIMEOUT 60)

  add_executable(mc_files_tests ${_mc_dir}/mc_files_test.cpp)
  target_link_libraries(mc_files_tests PRIVATE dovex_mc dovex_effdose GTest::gtest_main)
  target_compile_options(mc_files_tests PRIVATE ${DOVEX_WARNINGS})
  target_compile_definitions(mc_files_tests PRIVATE DOVEX_MC_DATA_DIR="${PROJECT_SOURCE_DIR}/data")
  gtest_discover_tests(mc_files_tests DISCOVERY_TIMEOUT 60)

  # A low-statistics run of the whole generator, then the layout check of what it wrote.
  set(_mc_quick ${CMAKE_CURRENT_BINARY_DIR}/mc_quick)
  add_test(NAME mc_quick_generate COMMAND dovex-mcgen --quick -j 2 -o ${_mc_quick})
  set_tests_properties(mc_quick_generate PROPERTIES FIXTURES_SETUP mc_quick)
  add_test(NAME mc_quick_files COMMAND dovex-mcval --data ${_mc_quick} files)
  set_tests_properties(mc_quick_files PROPERTIES FIXTURES_REQUIRED mc_quick)
  add_test(NAME mc_energy_balance COMMAND dovex-mcval balance -n 20000)
endif()
