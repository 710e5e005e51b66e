# shellcheck shell=bash
# Sourced by the try-it scripts.

# make_simulated_link HOST DEVICES END0 END1: two network namespaces joined by
# a virtual cable (veth) whose ends are END0 in HOST (198.18.99.1/24, the
# installer's side) and END1 in DEVICES (198.18.99.2/24), so that nothing the
# program or the simulators send reaches the real network. The caller removes
# both namespaces when it ends.
make_simulated_link() {
    local host=$1 devices=$2 end0=$3 end1=$4 ns
    ip netns add "$host"
    ip netns add "$devices"
    ip link add "$end0" netns "$host" type veth peer name "$end1" netns "$devices"
    ip -n "$host" addr add 198.18.99.1/24 dev "$end0"
    ip -n "$devices" addr add 198.18.99.2/24 dev "$end1"
    for ns in "$host" "$devices"; do ip -n "$ns" link set lo up; done
    ip -n "$host" link set "$end0" up
    ip -n "$devices" link set "$end1" up
    # A fresh veth drops what is sent before both ends are up.
    until ip -n "$host" link show "$end0" | grep -q 'state UP'; do sleep 0.1; done
}
