#!/usr/bin/env bash
# A simulated site for tavolixctl, so it can be tried without any camera on
# the network: recorders that speak our protocol and ONVIF cameras as they are
# in the field (HTTP Digest with MD5 or SHA-256, the UsernameToken with a clock
# half a year off, https with a self-signed certificate, an XAddr naming
# 127.0.0.1). Everything runs in two network namespaces joined by a virtual
# cable; a shell opens in the installer's one. Needs root.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/simulated-link.sh
. "$top/scripts/simulated-link.sh"
host=tvx-site-host-$$
devices=tvx-site-devices-$$

"$top/scripts/install-deps.sh"
cmake -S "$top" -B "$top/build" -DCMAKE_BUILD_TYPE=Release -DTAVOLIX_BUILD_TESTS=OFF
cmake --build "$top/build" -j"$(nproc)" --target tavolixctl devicesim onvifsim

pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    ip netns del "$host" 2>/dev/null || true
    ip netns del "$devices" 2>/dev/null || true
}
trap cleanup EXIT

make_simulated_link "$host" "$devices" tvxsite0 tvxsite1

# What the simulated devices say goes to a file, not into the shell.
log=$(mktemp /tmp/tavolix-site-XXXXXX.log)
sim() { ip netns exec "$devices" "$@" --quiet >>"$log" 2>&1 & pids+=($!); }
sim "$top/build/tools/devicesim/devicesim" --count 3 --ip-base 198.18.99.20 --name Recorder \
    --login admin:admin
onvif() {
    sim "$top/build/tools/onvifsim/onvifsim" --interface tvxsite1 --gateway 198.18.99.1 "$@"
}
onvif --count 2 --ip-base 198.18.99.30 --mac-base 02005e300001 --name-prefix MD5 --auth digest-md5
onvif --count 2 --ip-base 198.18.99.40 --mac-base 02005e400001 --name-prefix SHA256 \
    --auth digest-sha256
onvif --count 2 --ip-base 198.18.99.50 --mac-base 02005e500001 --name-prefix TOKEN --auth wsse \
    --clock-offset 15811200
onvif --count 1 --ip-base 198.18.99.60 --mac-base 02005e600001 --name-prefix TLS --auth either \
    --https --xaddr-scheme https
onvif --count 1 --ip-base 198.18.99.70 --mac-base 02005e700001 --name-prefix NAT \
    --auth digest-md5 --xaddr-host 127.0.0.1
sleep 1

cat <<'TEXT'
A simulated site on 198.18.99.0/24; every device takes the login admin / admin.
  3 recorders (our protocol), 2 cameras on Digest MD5, 2 on Digest SHA-256,
  2 on the UsernameToken with their clock 183 days ahead, 1 on https only,
  1 whose XAddr names 127.0.0.1.
Try:
  tavolixctl search                          # ONVIF cameras unread without a login
  tavolixctl search --user admin             # password: admin; see the auth column
  tavolixctl search --user admin --format json   # clock_offset_s, xaddr_host, addresses
  tavolixctl plan --ip-from 198.18.99.100 --mask 255.255.255.0 --gateway 198.18.99.1 \
      --user admin > site.csv
  tavolixctl apply site.csv --user admin     # every device moved and verified
  TAVOLIX_PASSWORD=wrong tavolixctl search --user admin   # a wrong password, each scheme
Leave the shell (exit) to stop the site.
TEXT
echo "What the devices say: $log"
ip netns exec "$host" env PATH="$top/build/src/cli:$PATH" bash -i || true
