#!/usr/bin/env bash
# Installs the dependencies, then builds and runs every test layer:
#   1. the whole project and all tests (unit, widget, end-to-end in network
#      namespaces, single instance under Xvfb);
#   1a. the Ansible collection: its modules, and a site of two segments driven
#      by ansible-playbook over SSH;
#   2. the same tests under AddressSanitizer + UndefinedBehaviorSanitizer;
#   3. the Qt-free worker tests under ThreadSanitizer;
#   4. the reply-parser and ONVIF-parser fuzzers for a bounded time each;
#   5. the Debian packages, checked with lintian, installed with apt-get and
#      used as a user would.
# Every build treats compiler warnings as errors (TAVOLIX_WERROR).
# Any failure stops the run with a non-zero exit code.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
fuzz_seconds=${TAVOLIX_FUZZ_SECONDS:-60}

"$top/scripts/install-deps.sh"

stage() { printf '\n=== %s ===\n' "$*"; }

stage "build and test"
cmake -S "$top" -B "$top/build-test" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVOLIX_WERROR=ON
cmake --build "$top/build-test" -j"$jobs"
ctest --test-dir "$top/build-test" --output-on-failure -LE ansible

stage "the Ansible collection: modules, and a two-segment site over SSH"
ctest --test-dir "$top/build-test" --output-on-failure -L ansible

stage "AddressSanitizer + UndefinedBehaviorSanitizer"
cmake -S "$top" -B "$top/build-asan" -DCMAKE_BUILD_TYPE=Debug -DTAVOLIX_WERROR=ON \
    -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
cmake --build "$top/build-asan" -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
    LSAN_OPTIONS=suppressions="$top/tests/sanitizers/lsan.supp" \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir "$top/build-asan" --output-on-failure -LE 'xvfb|ansible'

stage "ThreadSanitizer (worker)"
cmake -S "$top" -B "$top/build-tsan" -DCMAKE_BUILD_TYPE=Debug -DTAVOLIX_BUILD_GUI=OFF \
    -DTAVOLIX_WERROR=ON \
    -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer"
cmake --build "$top/build-tsan" -j"$jobs"
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    ctest --test-dir "$top/build-tsan" --output-on-failure -L worker

stage "fuzzing the reply parser and the ONVIF parsers for ${fuzz_seconds}s each"
CC=clang CXX=clang++ cmake -S "$top" -B "$top/build-fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTAVOLIX_WERROR=ON -DTAVOLIX_BUILD_GUI=OFF -DTAVOLIX_BUILD_TESTS=OFF -DTAVOLIX_BUILD_FUZZERS=ON \
    -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined"
cmake --build "$top/build-fuzz" -j"$jobs" --target fuzz_parse_reply fuzz_probe_match \
    fuzz_soap_response fuzz_challenge
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
# Each fuzzer starts from its seeds, in a copy: what it finds stays out of the tree.
for fuzzer in parse_reply:corpus:3000 probe_match:corpus-probe-match:65536 \
    soap_response:corpus-soap-response:65536 challenge:corpus-challenge:5000; do
    IFS=: read -r name seeds max_len <<<"$fuzzer"
    mkdir -p "$corpus/$name"
    cp "$top/tests/fuzz/$seeds"/* "$corpus/$name"/
    "$top/build-fuzz/tests/fuzz/fuzz_$name" -max_total_time="$fuzz_seconds" \
        -max_len="$max_len" -print_final_stats=1 "$corpus/$name"
done

stage "Debian packages: lintian, installed and used"
"$top/scripts/test-package.sh" "$top/build-package"

stage "all test layers passed"
