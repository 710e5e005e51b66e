#!/usr/bin/env bash
# Installs everything Tavolix needs to build, run and test on Debian 12.
set -euo pipefail

packages=(
    # build
    cmake g++ make pkg-config clang libclang-rt-14-dev
    qt6-base-dev qt6-qpa-plugins libgl-dev libxcb1-dev libsqlite3-dev
    # tests and benchmarks
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    iproute2 xvfb xauth xdotool imagemagick
    # a window manager and a headless Wayland compositor for the window's tests
    openbox weston qt6-wayland
    # texts in Latin, Chinese and Japanese scripts
    fonts-liberation2 fonts-noto-cjk
    # the Debian package: dpkg-shlibdeps finds its library dependencies
    dpkg-dev file
    # the installed package's test
    desktop-file-utils appstream sqlite3 man-db fontconfig x11-utils
)

if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: run as root (apt-get needs it)" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${packages[@]}" >/dev/null
