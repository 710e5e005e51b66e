#!/usr/bin/env bash
# Tests the package tavolix-cli: it holds tavolixctl, its manual page, its
# bash completion and the package documents and nothing else; neither its
# dependencies nor the program bring in anything of Qt; installed with
# apt-get, the program answers --help and --version (in a network namespace of its own,
# where nothing it might send can leave) and the completion completes.
# Removes the package at the end.
# Usage: cli-package-test.sh PATH/TO/tavolix-cli_VERSION_ARCH.deb
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/package/harness.sh
source "$here/harness.sh"

if [ "$#" -ne 1 ] || [ ! -f "$1" ]; then
    fail "usage: $0 PATH/TO/tavolix-cli_*.deb"
fi
deb=$(readlink -f "$1")

require_root_and_namespace
work=$(mktemp -d /tmp/tvx-cli-package-test.XXXXXX)
cleanup_cli() {
    local status=$?
    if [ "${installed_here:-}" = yes ] && dpkg-query -W tavolix-cli >/dev/null 2>&1; then
        DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq tavolix-cli >/dev/null 2>&1 || true
    fi
    [ "$status" -eq 0 ] || { [ -s "$work/apt.log" ] && tail -n 30 "$work/apt.log" >&2; }
    rm -rf "$work"
    return "$status"
}
trap cleanup_cli EXIT

program=/usr/bin/tavolixctl
man_page=/usr/share/man/man1/tavolixctl.1.gz
completion=/usr/share/bash-completion/completions/tavolixctl

step "the package holds tavolixctl, its manual page and completion, and no other program"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $NF}' | sed 's|^\./|/|' | sort >"$work/contents"
printf '%s\n' "$program" "$man_page" "$completion" \
    /usr/share/doc/tavolix-cli/{copyright,changelog.Debian.gz} /usr/share/lintian/overrides/tavolix-cli |
    sort |
    diff -u - "$work/contents" >"$work/contents.diff" ||
    fail "the package's files differ from the expected ones: $(<"$work/contents.diff")"
dpkg-deb -x "$deb" "$work/unpacked"
LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$work/unpacked$man_page" \
    2>"$work/man.log" >/dev/null || fail "the manual page does not render"
[ ! -s "$work/man.log" ] || fail "the manual page renders with warnings: $(<"$work/man.log")"

step "nothing of Qt in its dependencies"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
! grep -qi 'qt' <<<"$depends" || fail "tavolix-cli depends on Qt: $depends"

step "apt-get installs it, and neither the program nor its dependencies bring Qt"
apt_get install --reinstall "$deb"
ldd "$program" >"$work/ldd.log" || fail "ldd $program failed"
! grep -i 'qt' "$work/ldd.log" || fail "$program loads Qt"
apt-cache depends --recurse --installed --no-recommends --no-suggests --no-conflicts \
    --no-breaks --no-replaces --no-enhances tavolix-cli | grep -v '^ ' | tr -d '<>' | sort -u \
    >"$work/closure"
! grep -i 'qt' "$work/closure" || fail "tavolix-cli pulls in Qt"

step "the installed program answers --help and --version"
unshare --net "$program" --help >"$work/help.log" 2>&1 ||
    fail "tavolixctl --help failed: $(<"$work/help.log")"

version=$(unshare --net "$program" --version 2>&1) || fail "tavolixctl --version failed: $version"
[[ $version =~ ^tavolixctl\ [0-9]+\.[0-9]+ ]] || fail "tavolixctl --version says: $version"

step "the completion completes the commands and the option values"
complete_words() {
    # shellcheck disable=SC2016 # expanded by the inner shell
    bash -c 'source "$1"; shift
        COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMPREPLY=()
        _tavolixctl; echo "${COMPREPLY[*]}"' completion "$completion" "$@"
}
[ "$(complete_words tavolixctl '')" = "search set plan apply doctor --help --version" ] ||
    fail "commands complete to: $(complete_words tavolixctl '')"
[ "$(complete_words tavolixctl search --format '')" = "table json csv" ] ||
    fail "search --format completes to: $(complete_words tavolixctl search --format '')"
[ "$(complete_words tavolixctl set 02005e100001 --mode '')" = "static dhcp pppoe" ] ||
    fail "set --mode completes to: $(complete_words tavolixctl set 02005e100001 --mode '')"

step "removing the package"
apt_get purge tavolix-cli
for path in "$program" "$man_page" "$completion"; do
    [ ! -e "$path" ] || fail "$path left after the purge"
done
echo "cli-package-test: passed"
