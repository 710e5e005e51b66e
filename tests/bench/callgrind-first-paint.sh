#!/bin/sh
# Instructions from exec to the end of the first flush of the window's backing
# store to the X server, counted by callgrind: a measure of start-up that does
# not depend on the machine's load. Runs the program and the bare dialog's
# variants one after the other in a host namespace of its own under an Xvfb
# there, with 255 simulated devices in a second namespace, as bench_program
# does. Needs root, ip netns, Xvfb and valgrind.
#   sudo tests/bench/callgrind-first-paint.sh BUILD-DIR [DISPLAY-NUMBER=131 [KEEP-DIR]]
# With KEEP-DIR the profiles to the first flush stay there, for
# callgrind_annotate --inclusive=yes.
set -eu
build=$(realpath "$1")
display=${2:-131}
keep=${3:-}
bare=$build/tests/bench/bench_bare_dialog
name=cgfp$$
work=$(mktemp -d)

cleanup() {
    [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null || true
    [ -n "${sim:-}" ] && kill "$sim" 2>/dev/null || true
    ip netns del "${name}h" 2>/dev/null || true
    ip netns del "${name}d" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

ip netns add "${name}h"
ip netns add "${name}d"
ip link add "${name}a" netns "${name}h" type veth peer name "${name}b" netns "${name}d"
ip -n "${name}h" addr add 198.18.0.1/24 dev "${name}a"
ip -n "${name}d" addr add 198.18.0.2/24 dev "${name}b"
for side in h d; do
    ip -n "$name$side" link set lo up
done
ip -n "${name}h" link set "${name}a" up
ip -n "${name}d" link set "${name}b" up

ip netns exec "${name}d" "$build/tools/devicesim/devicesim" --count 255 >"$work/sim.log" 2>&1 &
sim=$!
ip netns exec "${name}h" Xvfb ":$display" -nolisten tcp -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb=$!
sleep 2
cp "$build/src/app/language.db" "$work/language.db"

# Runs one command under callgrind until its first flush has been dumped.
count() {
    label=$1
    shift
    out=$work/$label
    (cd "$work" && exec ip netns exec "${name}h" env -i PATH=/usr/bin:/bin HOME="$work" \
        XDG_RUNTIME_DIR="$work" LANG=C.UTF-8 DISPLAY=":$display" QT_QPA_PLATFORM=xcb \
        valgrind --tool=callgrind --dump-after='QBackingStore::flush*' \
        --callgrind-out-file="$out.%p" "$@" >"$out.log" 2>&1) &
    run=$!
    for _ in $(seq 600); do
        ls "$out".*.1 >/dev/null 2>&1 && break
        sleep 0.2
    done
    sleep 0.5
    kill "$run" 2>/dev/null || true
    # The subshell exec'd ip, which exec'd env, which exec'd valgrind.
    wait "$run" 2>/dev/null || true
    first=$(ls "$out".*.1 2>/dev/null | head -n 1)
    if [ -z "$first" ]; then
        echo "$label: no flush seen; see below"
        tail -n 5 "$out.log"
        return
    fi
    [ -n "$keep" ] && cp "$first" "$keep/$label.callgrind"
    printf '%-22s %s instructions to the first flush\n' "$label" \
        "$(sed -n 's/^summary: *//p;s/^totals: *//p' "$first" | head -n 1)"
}

count tavolix "$build/src/app/tavolix"
count bare "$bare"
count bare+fonts "$bare" --program-fonts
count bare+controls "$bare" --program-controls
count bare+controls+sqlite "$build/tests/bench/bench_bare_dialog_sqlite" --program-controls
