# SPDX-License-Identifier: GPL-3.0-or-later
# quillon_setup: quillon-setup.exe in the build folder, made by makensis (the
# Debian package nsis) from quillon.nsi with quillon.exe, quillon-cli.exe and
# LICENSE. Not part of `all`: scripts/build-windows asks for it.
find_program(QUILLON_MAKENSIS NAMES makensis)
if(QUILLON_MAKENSIS)
  set(nsi ${CMAKE_SOURCE_DIR}/packaging/windows/quillon.nsi)
  set(setup ${CMAKE_BINARY_DIR}/quillon-setup.exe)
  # The programs are shipped without their debug information, which makes
  # them several times larger.
  set(staging ${CMAKE_CURRENT_BINARY_DIR}/installer)
  # -INPUTCHARSET: the script's Russian texts are UTF-8. -V2: warnings and
  # errors only.
  add_custom_command(OUTPUT ${setup}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${staging}
    COMMAND ${CMAKE_STRIP} --strip-debug -o ${staging}/quillon.exe $<TARGET_FILE:quillon>
    COMMAND ${CMAKE_STRIP} --strip-debug -o ${staging}/quillon-cli.exe $<TARGET_FILE:quillon-cli>
    COMMAND ${QUILLON_MAKENSIS} -V2 -INPUTCHARSET UTF8
            -DVERSION=${PROJECT_VERSION}
            -DPROGRAM=${staging}/quillon.exe
            -DCLI=${staging}/quillon-cli.exe
            -DLICENSE_FILE=${CMAKE_SOURCE_DIR}/LICENSE
            -DICON=${CMAKE_CURRENT_BINARY_DIR}/icon_0.ico
            -DOUTFILE=${setup}
            ${nsi}
    DEPENDS ${nsi} ${CMAKE_SOURCE_DIR}/LICENSE quillon quillon-cli quillon_icons
    COMMENT "Installer quillon-setup.exe"
    VERBATIM)
  add_custom_target(quillon_setup DEPENDS ${setup})
else()
  message(STATUS "makensis not found: no installer target (Debian package nsis)")
endif()
