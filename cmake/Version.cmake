# SPDX-License-Identifier: GPL-3.0-or-later
# quillon_version: an interface library whose include path holds
# "QuillonVersion.h" (kProgramVersion, kProgramVersionFull), refreshed at
# every build so that `--version` names the commit the program was built from.
set(QUILLON_VERSION_DIR "${CMAKE_BINARY_DIR}/generated")
add_custom_target(quillon_version_header
  COMMAND "${CMAKE_COMMAND}" -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -DOUTPUT=${QUILLON_VERSION_DIR}/QuillonVersion.h
          -DPROJECT_VERSION=${PROJECT_VERSION} -P ${CMAKE_SOURCE_DIR}/cmake/WriteVersion.cmake
  BYPRODUCTS "${QUILLON_VERSION_DIR}/QuillonVersion.h"
  COMMENT "Program version"
  VERBATIM)
add_library(quillon_version INTERFACE)
target_include_directories(quillon_version INTERFACE "${QUILLON_VERSION_DIR}")
add_dependencies(quillon_version quillon_version_header)
