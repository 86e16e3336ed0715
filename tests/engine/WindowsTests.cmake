# SPDX-License-Identifier: GPL-3.0-or-later
# quillon-engine-tests.exe: every engine test in one Windows program, run
# under Wine by scripts/test-windows-engine (once per kernel width of the
# decoder bank). Included from engine/CMakeLists.txt when
# QUILLON_WINDOWS_ENGINE_TESTS is on.
if(NOT TARGET gtest)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()
include(${CMAKE_CURRENT_LIST_DIR}/TestList.cmake)
list(TRANSFORM QUILLON_ENGINE_TESTS REPLACE "(.+)" "${CMAKE_CURRENT_LIST_DIR}/\\1.cpp" OUTPUT_VARIABLE quillon_engine_test_sources)
add_executable(quillon-engine-tests ${quillon_engine_test_sources})
target_link_libraries(quillon-engine-tests PRIVATE quillon_engine quillon_warnings GTest::gtest GTest::gtest_main)
set_target_properties(quillon-engine-tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
