#!/usr/bin/env bash
# Builds the Debian packages and tests them: lintian on all (no errors, no
# warnings), then each installed with apt-get. The window's test starts the
# program from the menu's command under Xvfb in a network namespace, checks
# the language choice across restart, reinstall and upgrade, and validates
# the desktop entry, the metainfo and the firewall profiles; the command-line
# tool's test checks its contents, that nothing of Qt comes with it, its
# manual page and its completion; the Ansible collection's test checks its
# contents and that ansible-doc and ansible-galaxy find the installed
# collection. Needs root; removes the packages afterwards.
# Usage: scripts/test-package.sh [BUILD_FOLDER]   (default: build-package)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build-package}

"$top/scripts/package.sh" "$build"
shopt -s nullglob
window=("$build"/tavolix_*.deb)
cli=("$build"/tavolix-cli_*.deb)
ansible=("$build"/tavolix-ansible_*.deb)
[ "${#window[@]}" -eq 1 ] || { echo "expected one tavolix package in $build" >&2; exit 1; }
# tavolixctl is built wherever its sources are; then its package must be there.
if [ -f "$top/src/cli/CMakeLists.txt" ] && [ "${#cli[@]}" -ne 1 ]; then
    echo "expected one tavolix-cli package in $build" >&2
    exit 1
fi
# So is the collection; package.sh installs ansible-core, which builds it.
if [ -f "$top/integrations/ansible/galaxy.yml" ] && [ "${#ansible[@]}" -ne 1 ]; then
    echo "expected one tavolix-ansible package in $build" >&2
    exit 1
fi

echo "--- lintian ${window[0]##*/} ${cli[*]##*/} ${ansible[*]##*/}"
lintian --fail-on error,warning --display-info "${window[0]}" "${cli[@]}" "${ansible[@]}"

"$top/tests/package/installed-program-test.sh" "${window[0]}"
if [ "${#cli[@]}" -eq 1 ]; then
    "$top/tests/package/cli-package-test.sh" "${cli[0]}"
fi
if [ "${#ansible[@]}" -eq 1 ]; then
    "$top/tests/package/ansible-package-test.sh" "${ansible[0]}"
fi
