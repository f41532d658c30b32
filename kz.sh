#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sets up, builds and runs the KZ program on Debian 12 or 13.
#   ./kz.sh run    install what is missing, build, start kz with a simulated KZ
#   ./kz.sh test   install what is missing, build, run every test
#   ./kz.sh bench  install what is missing, build, print the measurements
#   ./kz.sh package  install what is missing, build what the Debian packages
#                  hold (in build-package/), make the packages
#   ./kz.sh deps   install what is missing, nothing more
set -euo pipefail
cd "$(dirname "$0")"

# libfontconfig-dev: kz reads the font configuration on a second core at start.
# xvfb (with xauth for xvfb-run): a real X display where there is none, so
# that start-up is measured, and tested, as it is on a desktop.
packages=(cmake ninja-build g++ qt6-base-dev qt6-serialport-dev qt6-webengine-dev
          libgl-dev libfontconfig-dev xvfb xauth)
# Liberation Sans 2, the window's font: fonts-liberation2 on Debian 12, where
# fonts-liberation is still version 1; from Debian 13 on fonts-liberation is
# version 2 and fonts-liberation2 only a transitional name for it.
release=$( (. /etc/os-release 2>/dev/null && echo "${ID:-}${VERSION_ID:-}") || true)
if [ "$release" = debian12 ]; then
  packages+=(fonts-liberation2)
else
  packages+=(fonts-liberation)
fi
packages+=(libespeak-ng-dev qt6-multimedia-dev) # the simulated KZ's speech (--speak, --wav)
# The readings window: QCustomPlot (its -dev package pulls Qt 5's in for the
# build) and Qt SVG for its export; Qt Charts only for the benchmark that
# compares the two libraries.
packages+=(libqcustomplot-dev qt6-svg-dev qt6-charts-dev)
# The install tests validate the desktop entry and the metainfo; dpkg-dev has
# dpkg-shlibdeps, which finds the packages' dependencies.
packages+=(desktop-file-utils appstream dpkg-dev)
packages+=(lintian) # the install tests check the packages with Debian's checker
# Qt's platform layer, through which the accessibility test switches
# assistive technology on; without it that test is skipped.
packages+=(qt6-base-private-dev)

install_missing() {
  if ! command -v apt-get >/dev/null || ! command -v dpkg-query >/dev/null; then
    echo "kz.sh: no apt here: install CMake, Ninja, a C++20 compiler and Qt 6 (6.4 or later:"
    echo "kz.sh: Widgets, SerialPort, Test; for more, WebEngineWidgets, Multimedia, PrintSupport,"
    echo "kz.sh: Svg, Charts, with QCustomPlot and eSpeak NG) from your system's packages (README)"
    return 0
  fi
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "kz.sh: installing ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
}

build() {
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build
}

case "${1:-}" in
  deps)
    install_missing
    ;;
  run)
    install_missing
    build
    if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
      exec ./build/kz --simulate
    fi
    # No display: show the program working anyway, offscreen, and keep a
    # picture of the connected window.
    shot="$PWD/kz-connected.png"
    echo "kz.sh: no display found; running kz offscreen against the simulated KZ"
    QT_QPA_PLATFORM=offscreen ./build/kz --simulate --screenshot "$shot"
    echo "kz.sh: screenshot of the connected window: $shot"
    ;;
  test)
    install_missing
    build
    cd build
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2
    ;;
  bench)
    install_missing
    build
    ./build/bench/kz-bench "${@:2}"
    ;;
  package)
    install_missing
    # A build of its own, of what the packages hold: no tests, tools or
    # benchmarks, no debugging information (the packages strip it).
    cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DKZ_BUILD_TESTS=OFF \
      -DKZ_BUILD_TOOLS=OFF -DKZ_BUILD_BENCH=OFF >/dev/null
    cmake --build build-package
    rm -f build-package/*.deb
    (cd build-package && cpack -G DEB)
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo "
    echo "kz.sh: to install: ${sudo}apt-get install" ./build-package/kz*.deb
    ;;
  *)
    echo "usage: $0 run|test|bench|package|deps [runs] [--startup-only]" >&2
    exit 2
    ;;
esac
