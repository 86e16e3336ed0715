# SPDX-License-Identifier: GPL-3.0-or-later
# Cross build for 64-bit ARM Linux (a Raspberry Pi with a 64-bit system) with
# Debian's g++-aarch64-linux-gnu; the tests run under qemu-aarch64 (package
# qemu-user). Use with
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/aarch64-linux-gnu.cmake -DQUILLON_ENGINE_ONLY=ON ...
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(QUILLON_AARCH64_TRIPLET aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${QUILLON_AARCH64_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${QUILLON_AARCH64_TRIPLET}-g++)

# The target's C library and headers live under /usr/aarch64-linux-gnu.
set(CMAKE_FIND_ROOT_PATH /usr/${QUILLON_AARCH64_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest (and GoogleTest's test discovery at build time) run the programs
# through the emulator, which finds the target's loader and libraries there.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L /usr/${QUILLON_AARCH64_TRIPLET})
