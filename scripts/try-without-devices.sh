#!/usr/bin/env bash
# Opens Tavolix beside simulated devices, so it can be tried without any
# camera on the network. Both run in network namespaces of their own, joined by
# a virtual cable, so no datagram reaches the real network. Needs root and a
# display (DISPLAY must be set; with sudo, use `sudo -E`).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/simulated-link.sh
. "$top/scripts/simulated-link.sh"
count=${TAVOLIX_SIM_DEVICES:-8}
host=tvx-try-host-$$
devices=tvx-try-devices-$$

"$top/scripts/install-deps.sh"
cmake -S "$top" -B "$top/build" -DCMAKE_BUILD_TYPE=Release -DTAVOLIX_BUILD_TESTS=OFF
cmake --build "$top/build" -j"$(nproc)" --target tavolix language_db devicesim

cleanup() {
    [ -n "${sim_pid:-}" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    ip netns del "$host" 2>/dev/null || true
    ip netns del "$devices" 2>/dev/null || true
}
trap cleanup EXIT

make_simulated_link "$host" "$devices" tvxtry0 tvxtry1

ip netns exec "$devices" "$top/build/tools/devicesim/devicesim" --count "$count" --name Camera \
    --login admin:admin --quiet &
sim_pid=$!
echo "Simulated devices answer with the login admin / admin."
cd "$top/build/src/app"
ip netns exec "$host" ./tavolix
