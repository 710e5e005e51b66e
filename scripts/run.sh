#!/usr/bin/env bash
# Installs the dependencies, builds Tavolix and opens its window. The program
# finds language.db in its working directory, so it starts in the build folder
# that holds the shipped one.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

"$top/scripts/install-deps.sh"
cmake -S "$top" -B "$top/build" -DCMAKE_BUILD_TYPE=Release -DTAVOLIX_BUILD_TESTS=OFF
cmake --build "$top/build" -j"$(nproc)" --target tavolix language_db
cd "$top/build/src/app"
exec ./tavolix
