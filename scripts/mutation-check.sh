#!/usr/bin/env bash
# Puts one-line faults into a copy of the code, one at a time, and reports
# which of them the test suite catches.
#
#   scripts/mutation-check.sh [--rev REV] [--only PATTERN] [--work DIR]
#
# The faults are listed in scripts/mutants.txt; each must match its file
# exactly once. The copy is `git archive REV` (default HEAD) in DIR (default
# /tmp/tavolix-mutation), built once without optimisation; each fault is
# then built incrementally and the tests run until the first failure.
# A fault is killed when the tests fail, survives when they pass, and is left
# out of the count when it does not build. Root is needed for the tests that
# make network namespaces, as in CI. Prints killed/total and the survivors;
# exits 0 when every fault applied, 1 otherwise.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
rev=HEAD
only=
work=/tmp/tavolix-mutation
while [[ $# -gt 0 ]]; do
    case $1 in
    --rev) rev=$2; shift 2 ;;
    --only) only=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    *) echo "usage: $0 [--rev REV] [--only PATTERN] [--work DIR]" >&2; exit 2 ;;
    esac
done
mutants="$top/scripts/mutants.txt"
jobs=$(nproc)

say() { printf '%s\n' "$*" >&2; }

# Replaces the one occurrence of FROM in FILE by TO (both with \n for a line
# break); exits 3 when FROM does not occur exactly once.
apply_fault() {
    FROM=$2 TO=$3 perl -0777 -i -pe '
        BEGIN { ($from, $to) = map { s/\\n/\n/gr } @ENV{qw(FROM TO)} }
        $n = () = /\Q$from\E/g;
        if ($n != 1) { print STDERR "matches $n times\n"; exit 3 }
        s/\Q$from\E/$to/;
    ' "$1"
}

rm -rf "$work"
mkdir -p "$work/tree"
git -C "$top" archive "$rev" | tar -x -C "$work/tree"
build="$work/build"
say "building $(git -C "$top" rev-parse --short "$rev") in $work"
cmake -S "$work/tree" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-O0 \
    -DTAVOLIX_WERROR=OFF >"$work/configure.log"
# Everything the tests need; the benchmarks would only add link time.
mapfile -t targets < <(cmake --build "$build" --target help | sed -n 's/^\.\.\. \([^ ]*\).*/\1/p' |
    grep -Ev '^(all|clean|depend|edit_cache|rebuild_cache|install.*|list_install_components|package.*|test|bench_.*)$')
build_targets() { cmake --build "$build" -j"$jobs" --target "${targets[@]}" >"$1" 2>&1; }
run_tests() { ctest --test-dir "$build" -j"$jobs" --stop-on-failure --timeout 180 >"$1" 2>&1; }

build_targets "$work/build.log" || { say "the unchanged copy does not build: $work/build.log"; exit 1; }
run_tests "$work/tests.log" || { say "the unchanged copy fails its tests: $work/tests.log"; exit 1; }

killed=0 total=0 unbuilt=0 stale=0 number=0
survivors=() unbuilt_list=()
while IFS=$'\t' read -r file from to what; do
    [[ -z $file || $file == \#* ]] && continue
    number=$((number + 1))
    [[ -n $only && "$file $what" != *$only* ]] && continue
    label="#$number $file: $what"
    cp "$work/tree/$file" "$work/original"
    if ! apply_fault "$work/tree/$file" "$from" "$to" 2>"$work/apply.log"; then
        say "STALE    $label ($(cat "$work/apply.log"))"
        stale=$((stale + 1))
        continue
    fi
    log="$work/mutant-$number"
    if ! build_targets "$log.build"; then
        say "UNBUILT  $label"
        unbuilt=$((unbuilt + 1))
        unbuilt_list+=("$label")
    elif run_tests "$log.tests"; then
        total=$((total + 1))
        say "SURVIVED $label"
        survivors+=("$label")
    else
        total=$((total + 1))
        killed=$((killed + 1))
        first=$(grep -m1 -E 'Test +#[0-9]+: .*\*\*\*' "$log.tests" |
            sed -E 's/.*Test +#[0-9]+: ([^ ]+) .*\*\*\*([A-Za-z]+).*/\1 (\2)/' || true)
        say "KILLED   $label, by ${first:-a failing build step}"
    fi
    # A fresh copy (new time stamp) so the next build recompiles the file.
    cp "$work/original" "$work/tree/$file"
done <"$mutants"

printf '\nkilled %d of %d faults that built (%d did not build, %d stale)\n' \
    "$killed" "$total" "$unbuilt" "$stale"
for label in "${survivors[@]}"; do printf '  survived: %s\n' "$label"; done
for label in "${unbuilt_list[@]}"; do printf '  did not build: %s\n' "$label"; done
[[ $stale -eq 0 ]]
