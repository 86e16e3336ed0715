# SPDX-License-Identifier: GPL-3.0-or-later
# Installing on Linux, and the Debian package: in a build folder,
# `cmake --install .` installs the programs, and `cpack -G DEB` makes
# quillon_<version>_<arch>.deb holding quillon and quillon-cli in /usr/bin,
# the menu entry and its icon, the manual pages and the copyright file. The
# package's dependencies are read from the programs' libraries by
# dpkg-shlibdeps (package dpkg-dev). The desktop program's install rule and
# icon live in shell/qt, quillon-cli's in tools.
if(WIN32 OR NOT TARGET quillon-cli)  # nothing to package in an engine-only build
  return()
endif()
include(GNUInstallDirs)
set(quillon_packaging "${CMAKE_SOURCE_DIR}/packaging/linux")

# The manual pages carry the project's version; Debian keeps them gzipped
# (-n: no name or time stamp inside, so the same sources give the same bytes).
set(quillon_man_pages quillon-cli.1)
if(TARGET quillon)
  list(APPEND quillon_man_pages quillon.1)
endif()
find_program(QUILLON_GZIP gzip)
set(quillon_man_outputs "")
foreach(page ${quillon_man_pages})
  set(page_out "${CMAKE_BINARY_DIR}/man/${page}")
  configure_file("${quillon_packaging}/${page}" "${page_out}" @ONLY)
  if(QUILLON_GZIP)
    add_custom_command(OUTPUT "${page_out}.gz"
      COMMAND "${QUILLON_GZIP}" -9 -n -k -f "${page_out}"
      DEPENDS "${page_out}"
      VERBATIM)
    set(page_out "${page_out}.gz")
  endif()
  list(APPEND quillon_man_outputs "${page_out}")
endforeach()
add_custom_target(quillon_man_pages ALL DEPENDS ${quillon_man_outputs})
install(FILES ${quillon_man_outputs} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

if(TARGET quillon)
  install(FILES "${quillon_packaging}/quillon.desktop" DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
endif()
# Named for the package, not the project (GNUInstallDirs' DOCDIR would be doc/Quillon).
install(FILES "${quillon_packaging}/copyright" DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/quillon)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillon)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "The Quillon developers")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)  # the debug information of a RelWithDebInfo build stays in the build folder
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "short texts between radio stations as an Olivia MFSK signal")
set(CPACK_PACKAGE_DESCRIPTION
    "Quillon sends short texts (an e-mail address, a telephone number, a link)
between two radio stations over a voice channel, reliably enough that they
arrive intact. The text is framed with a check character and played through
the sound card as an Olivia MFSK signal in one of 19 modes (4 to 64 tones,
125 to 2000 Hz wide); the receiving station decodes continuously, checks each
message and keeps an archive. The transmitter can be keyed through rigctld,
the Hamlib library or a serial port's RTS or DTR line.
.
The package holds the desktop program quillon (Qt) and quillon-cli, which
encodes and decodes recordings, simulates an HF channel and measures the modes.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # quillon_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Quillon developers")
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# rigctld keys a transmitter that Hamlib's library cannot reach in-process;
# the ALSA plugins route the "default" device to PulseAudio or PipeWire, as
# desktops have it; xdg-open opens the archive in the desktop's editor.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libhamlib-utils, libasound2-plugins, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
