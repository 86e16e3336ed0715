# SPDX-License-Identifier: GPL-3.0-or-later
# Run at every build (cmake -P): writes OUTPUT, a header with the project
# version and, in a git checkout, `git describe`, rewriting it only when the
# text changes so that a build with nothing new compiles nothing.
# Inputs: SOURCE_DIR, OUTPUT, PROJECT_VERSION.
set(description "")
find_package(Git QUIET)
if(GIT_FOUND AND EXISTS "${SOURCE_DIR}/.git")
  execute_process(COMMAND "${GIT_EXECUTABLE}" describe --always --dirty --tags
                  WORKING_DIRECTORY "${SOURCE_DIR}" OUTPUT_VARIABLE description
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    set(description "")
  endif()
endif()
set(full "${PROJECT_VERSION}")
if(description)
  set(full "${PROJECT_VERSION} (${description})")
endif()
set(text "// Generated at build time from the project version and the checkout.
#pragma once
namespace quillon {
inline constexpr const char kProgramVersion[] = \"${PROJECT_VERSION}\";
// The version with the git description of the checkout it was built from,
// e.g. \"0.9.0 (cd4fbb6-dirty)\"; the bare version outside a checkout.
inline constexpr const char kProgramVersionFull[] = \"${full}\";
}  // namespace quillon
")
set(old "")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL text)
  file(WRITE "${OUTPUT}" "${text}")
endif()
