#!/usr/bin/env bash
# onvifsim in one network namespace, an independent client in another, a veth
# pair between them; the cameras' clock runs an hour ahead.
# usage: run.sh PEER ONVIFSIM CACHE_DIR, PEER one of onvif-util, npm-onvif,
# npm-onvif-digest, curl-digest, python-digest, curl-https
# onvif-tools would pull in Qt 5 and FFmpeg (211 MB): its two packages are
# fetched with `apt-get download` and unpacked into the cache instead (270 kB).
set -euo pipefail
peer=$1 sim=$2 cache=$3
here=$(cd "$(dirname "$0")" && pwd)
skip() { echo "SKIP: $*"; exit 77; }
need() { command -v "$1" >/dev/null || skip "$1 is missing"; }

[ "$(id -u)" -eq 0 ] || skip "network namespaces need root"
need ip
mkdir -p "$cache"

find_onvif_util() {
    if command -v onvif-util >/dev/null; then peer_run=(onvif-util) && return; fi
    local root=$cache/onvif-tools debs=$cache/onvif-tools-debs log
    if [ ! -x "$root/usr/bin/onvif-util" ]; then
        mkdir -p "$debs"
        log=$( (cd "$debs" && apt-get download onvif-tools libonvif1) 2>&1) ||
            skip "onvif-tools is not installed and apt-get download failed: $log"
        for deb in "$debs"/*.deb; do dpkg-deb -x "$deb" "$root"; done
    fi
    peer_run=(env LD_LIBRARY_PATH="$root/usr/lib/x86_64-linux-gnu" "$root/usr/bin/onvif-util")
}

find_npm_onvif() {
    need node
    if [ ! -d "$cache/npm/node_modules/onvif" ]; then
        need npm
        local log
        log=$(npm install --prefix "$cache/npm" --no-audit --no-fund onvif@0.8.3 2>&1) ||
            skip "npm install onvif failed (registry unreachable?): $log"
    fi
    peer_run=(env NODE_PATH="$cache/npm/node_modules" node "$here/peer.js")
}

case $peer in
onvif-util) find_onvif_util ;;
npm-onvif | npm-onvif-digest) find_npm_onvif ;;
curl-digest | curl-https) need curl; peer_run=(curl) ;;
python-digest)
    need python3
    python3 -c 'import requests' 2>/dev/null || skip "python3-requests is missing"
    peer_run=(python3 "$here/digest.py")
    ;;
*) echo "unknown peer $peer" >&2; exit 2 ;;
esac

tag=tvxov$$
work=$(mktemp -d)
sim_pid= second_pid=
cleanup() {
    for pid in $sim_pid $second_pid; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
    for side in sim peer; do ip netns delete "$tag-$side" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
ip netns add "$tag-sim" 2>/dev/null || skip "ip netns add failed"
ip netns add "$tag-peer"
ip -n "$tag-sim" link add vs type veth peer name vp netns "$tag-peer"
for side in sim:vs:2 peer:vp:1; do
    IFS=: read -r ns dev host <<<"$side"
    ip -n "$tag-$ns" addr add "198.18.0.$host/24" dev "$dev"
    ip -n "$tag-$ns" link set lo up
    ip -n "$tag-$ns" link set "$dev" up
done
# The clients send their probes to 239.255.255.250 by the routing table.
ip -n "$tag-peer" route add default dev vp

transcript=$work/sim.out second=$work/second.out
fail() {
    echo "FAIL: $*"
    echo "--- peer output"; cat "$work/peer.out" 2>/dev/null || true
    echo "--- simulator transcript"; cat "$transcript"
    [ -z "$second_pid" ] || { echo "--- second simulator"; cat "$second"; }
    exit 1
}
# Waits (up to 20 s) until FILE (the transcript by default) has a line matching the pattern.
expect_line() {
    for _ in $(seq 200); do
        grep -Eqs -- "$1" "${2:-$transcript}" && return 0
        sleep 0.1
    done
    fail "no line of ${2:-$transcript} matches: $1"
}
expect_output() { for text; do grep -Fq -- "$text" "$work/peer.out" || fail "the peer never said: $text"; done; }
in_peer() { timeout 60 ip netns exec "$tag-peer" "${peer_run[@]}" "$@" >"$work/peer.out" 2>&1 || true; }

# Logins were made against a clock an hour ahead: the client corrected for it.
check_logins() { ! grep -q 'stale-created' "$transcript" || fail "a login's Created missed the cameras' clock"; }
start_sim() {
    if [ -n "$sim_pid" ]; then
        check_logins
        kill "$sim_pid"
        wait "$sim_pid" || true
    fi
    ip netns exec "$tag-sim" "$sim" --count 2 --interface vs --clock-offset 3600 \
        --gateway 198.18.0.1 "$@" >"$transcript" 2>&1 &
    sim_pid=$!
    expect_line '^ready '
}
# Another simulator in the same namespace, on addresses of its own.
start_second() {
    ip netns exec "$tag-sim" "$sim" --count 2 --interface vs --ip-base 198.18.0.40 \
        --mac-base 02005e300001 "$@" >"$second" 2>&1 &
    second_pid=$!
    expect_line '^ready ' "$second"
}
# HTTP status and body of a GetDeviceInformation POST: post URL CURL_OPTIONS...
device_information='<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope"><s:Body>'\
'<GetDeviceInformation xmlns="http://www.onvif.org/ver10/device/wsdl"/></s:Body></s:Envelope>'
post() {
    ip netns exec "$tag-peer" timeout 20 curl -s -w '\nstatus %{http_code}\n' \
        -H 'Content-Type: application/soap+xml' -d "$device_information" "${@:2}" "$1" \
        >"$work/peer.out" 2>&1 || true
}

case $peer in
npm-onvif-digest) start_sim --auth digest-md5 ;;
curl-digest | python-digest) start_sim --auth digest-md5; start_second --auth digest-sha256 ;;
curl-https) start_sim --https --xaddr-scheme https --auth digest-sha256 ;;
*) start_sim ;;
esac
for _ in $(seq 100); do
    ip -n "$tag-peer" -o link show vp | grep -q ' state UP ' && break
    sleep 0.1
done

if [ "$peer" = onvif-util ]; then
    in_peer -a
    expect_output "198.18.0.20 (ONVIFSIM-001 SimCam-200)" "198.18.0.21 (ONVIFSIM-002 SimCam-200)"

    printf 'get network\nset default_gateway 198.18.0.254\nget network\nquit\n' >"$work/in"
    in_peer -u admin -p admin 198.18.0.20 <"$work/in"
    expect_output "serial: 02005e200001" "Gateway:    198.18.0.1" "Gateway:    198.18.0.254"
    expect_line '^call 02005e200001 SetNetworkDefaultGateway ok 198.18.0.254$'

    in_peer -u admin -p wrong 198.18.0.21 </dev/null
    expect_line '^call 02005e200002 [A-Za-z]+ fault not-authorized bad-digest$'

    printf 'set ip_address 198.18.0.50\nquit\n' >"$work/in"
    in_peer -u admin -p admin 198.18.0.20 <"$work/in"
    expect_line '^move 02005e200001 198.18.0.20/24:80 -> 198.18.0.50/24:80 gateway 198.18.0.254$'
    in_peer -a
    expect_output "198.18.0.50 (ONVIFSIM-001 SimCam-200)"
    ! grep -Fq "198.18.0.20 " "$work/peer.out" || fail "the moved camera still answers at 198.18.0.20"
    printf 'get network\nquit\n' >"$work/in"
    in_peer -u admin -p admin 198.18.0.50 <"$work/in"
    expect_output "IP Address: 198.18.0.50"

    # A camera that needs a reboot for a new address: onvif-util reboots it.
    start_sim --reboot-needed
    printf 'set ip_address 198.18.0.61\nquit\n' >"$work/in"
    in_peer -u admin -p admin 198.18.0.21 <"$work/in"
    expect_line '^move 02005e200002 198.18.0.21/24:80 -> 198.18.0.61/24:80'
    grep -v '^login ' "$transcript" | grep -A1 'SetNetworkInterfaces ok 198.18.0.61/24$' |
        grep -q '^call 02005e200002 SystemReboot ok$' ||
        fail "the address moved before the reboot, or without one"
elif [ "$peer" = curl-digest ] || [ "$peer" = python-digest ]; then
    # An MD5-only camera and, from the second simulator, a SHA-256-only one.
    for target in 20:02005e200001:MD5 40:02005e300001:SHA-256; do
        IFS=: read -r host serial algorithm <<<"$target"
        url=http://198.18.0.$host/onvif/device_service
        for password in admin wrong; do
            if [ "$peer" = curl-digest ]; then post "$url" --digest -u admin:$password; else in_peer "$url" admin $password; fi
            if [ $password = admin ]; then
                expect_output "status 200" "<tds:SerialNumber>$serial</tds:SerialNumber>"
                grep -q "^login $serial digest $algorithm accepted\$" "$transcript" "$second" ||
                    fail "no $algorithm login of $serial in the transcripts"
            else
                expect_output "status 401"
                grep -q "^call $serial GetDeviceInformation unauthorized wrong-password\$" \
                    "$transcript" "$second" || fail "the wrong password of $serial went unnoticed"
            fi
        done
    done
    ! grep -q '^call 02005e3' "$transcript" || fail "the first simulator answered for the second"
    ! grep -q '^call 02005e2' "$second" || fail "the second simulator answered for the first"
elif [ "$peer" = curl-https ]; then
    post https://198.18.0.20/onvif/device_service -k --digest -u admin:admin
    expect_output "status 200" "<tds:SerialNumber>02005e200001</tds:SerialNumber>"
    expect_line '^login 02005e200001 digest SHA-256 accepted$'
    post http://198.18.0.20/onvif/device_service --digest -u admin:admin
    ! grep -q "status 200" "$work/peer.out" || fail "plain HTTP answered with --xaddr-scheme https"
    post https://198.18.0.20/onvif/device_service --digest -u admin:admin
    ! grep -q "status 200" "$work/peer.out" || fail "curl took the self-made certificate unchecked"
elif [ "$peer" = npm-onvif-digest ]; then
    # Digest only: the client must not need its UsernameToken.
    in_peer 198.18.0.21 admin 198.18.0.253 digest
    expect_output '{"step":"connect","error":null' '"address":"198.18.0.21","prefixLength":24'
    expect_line '^login 02005e200002 digest MD5 accepted$'
    expect_line '^call 02005e200002 GetNetworkInterfaces ok$'
    ! grep -q '^login .* wsse' "$transcript" || fail "a UsernameToken logged in on a Digest-only camera"
else
    in_peer 198.18.0.21 admin 198.18.0.253
    expect_output 'http://198.18.0.20/onvif/device_service' 'http://198.18.0.21/onvif/device_service' \
        '{"step":"connect","error":null' '"hwAddress":"02:00:5e:20:00:02"' \
        '"address":"198.18.0.21","prefixLength":24' \
        '{"step":"gateway","error":null,"value":{"IPv4Address":"198.18.0.253"}}'
    expect_line '^call 02005e200002 SetNetworkDefaultGateway ok 198.18.0.253$'
    expect_line '^call 02005e200002 GetNetworkDefaultGateway ok$'

    in_peer 198.18.0.20 wrong 198.18.0.99
    ! grep -Fq '{"step":"connect","error":null' "$work/peer.out" || fail "a wrong password logged in"
    expect_line '^call 02005e200001 [A-Za-z]+ fault not-authorized bad-digest$'
    ! grep -q 'SetNetworkDefaultGateway ok 198.18.0.99' "$transcript" || fail "a wrong password changed"
fi
check_logins
echo "PASS: $peer"
