#!/usr/bin/env bash
# Builds the Debian package and tests it installed: apt-get install, the
# program started from the menu's command under Xvfb in a network namespace,
# the language choice across restart, reinstall and upgrade, validation of the
# desktop entry and the metainfo. Needs root; removes the package afterwards.
# Usage: scripts/test-package.sh [BUILD_FOLDER]   (default: build-package)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build-package}

"$top/scripts/package.sh" "$build"
packages=("$build"/tavolix_*.deb)
[ "${#packages[@]}" -eq 1 ] || { echo "expected one package in $build" >&2; exit 1; }
"$top/tests/package/installed-program-test.sh" "${packages[0]}"
