#!/usr/bin/env bash
# Builds the Debian packages of Tavolix and prints their paths: tavolix (the
# window), tavolix-cli (tavolixctl) and tavolix-ansible (the Ansible
# collection), each when the build has its contents.
# Usage:
#   scripts/package.sh [BUILD_FOLDER]      (default: build-package)
# Installs the build dependencies with apt-get first, so it runs as root.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build-package}

"$top/scripts/install-deps.sh"

# Debian's own compiler and linker flags, hardening included, as a package
# built by the distribution would have them.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxx_flags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
c_flags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CFLAGS)"
ld_flags=$(dpkg-buildflags --get LDFLAGS)

cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTAVOLIX_BUILD_TESTS=OFF \
    -DCMAKE_CXX_FLAGS="$cxx_flags" -DCMAKE_C_FLAGS="$c_flags" \
    -DCMAKE_EXE_LINKER_FLAGS="$ld_flags" >/dev/null
cmake --build "$build" -j"$(nproc)"
# A package left from an older version would be picked up as the new one.
rm -f "$build"/tavolix_*.deb "$build"/tavolix-cli_*.deb "$build"/tavolix-ansible_*.deb
(cd "$build" && cpack >/dev/null)
shopt -s nullglob
packages=("$build"/tavolix_*.deb "$build"/tavolix-cli_*.deb "$build"/tavolix-ansible_*.deb)
[ "${#packages[@]}" -gt 0 ] || { echo "package: cpack made no package" >&2; exit 1; }
printf '%s\n' "${packages[@]}"
