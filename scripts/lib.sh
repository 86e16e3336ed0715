# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by the scripts: package installation and the build.
# Installs Debian packages only when one of them is missing; runs
# 'apt-get update' once, the first time anything has to be installed.
ensure_packages() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}" >&2
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  if [ -z "${QUILLON_APT_UPDATED:-}" ]; then
    $sudo apt-get update -q
    export QUILLON_APT_UPDATED=1
  fi
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
}

# What every native build needs: compiler, CMake, Ninja, the test and
# benchmark libraries, ALSA, Qt 6 Widgets, libsndfile and libsamplerate, and
# Hamlib (the library keys the radio; the tests start its rigctld).
BUILD_PACKAGES=(g++ cmake ninja-build pkg-config libgtest-dev libgmock-dev libbenchmark-dev
  libasound2-dev libsndfile1-dev libsamplerate0-dev qt6-base-dev qt6-base-dev-tools
  libgl-dev fonts-dejavu-core libhamlib-dev libhamlib-utils)

# What the Windows cross build needs besides MinGW-w64: makensis for the
# installer.
WINDOWS_PACKAGES=(nsis)

# The second compiler: CI's sanitizer build uses clang++, with its
# sanitizer runtimes (only recommended by the clang package).
CLANG_PACKAGES=(clang libclang-rt-dev)

# The aarch64 cross build of the engine and the link (scripts/test-aarch64):
# the cross compiler, the user-mode emulator that runs its tests, and
# GoogleTest's sources to build for that target.
AARCH64_PACKAGES=(cmake ninja-build g++-aarch64-linux-gnu qemu-user googletest)

# What the tests start besides the program: a sound server with a null sink,
# reached through ALSA's pulse device.
TEST_PACKAGES=(pulseaudio libasound2-plugins)

# configure_and_build <build dir> [cmake options...]: everything.
configure_and_build() {
  local dir="$1"; shift
  cmake -S "$ROOT" -B "$ROOT/$dir" -G Ninja "$@"
  cmake --build "$ROOT/$dir" -j "$(nproc)"
}

# configure_and_build_target <build dir> <target> [cmake options...]: the one
# target and what it needs.
configure_and_build_target() {
  local dir="$1" target="$2"; shift 2
  cmake -S "$ROOT" -B "$ROOT/$dir" -G Ninja "$@"
  cmake --build "$ROOT/$dir" -j "$(nproc)" --target "$target"
}
