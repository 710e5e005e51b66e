#!/usr/bin/env bash
# Installs everything Tavolix needs to build, run and test on Debian 12.
set -euo pipefail

packages=(
    # build
    cmake g++ make pkg-config clang libclang-rt-14-dev
    qt6-base-dev qt6-qpa-plugins libgl-dev libxcb1-dev libsqlite3-dev
    # the command-line tool: arguments and JSON (header-only)
    libcli11-dev nlohmann-json3-dev
    # ONVIF devices: HTTP with many devices at once, XML, digests and nonces
    libcurl4-openssl-dev libpugixml-dev libssl-dev
    # the neighbour table, read over netlink, for the MACs of unread devices
    libmnl-dev
    # the simulated ONVIF device's HTTP side, and node for an independent
    # ONVIF client (npm onvif) to test it with
    libmicrohttpd-dev nodejs
    # HTTP Digest from a client no one here wrote, against the simulated cameras (curl too)
    python3-requests curl
    # tests and benchmarks
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    iproute2 xvfb xauth xdotool imagemagick
    # a window manager and a headless Wayland compositor for the window's tests
    openbox weston qt6-wayland
    # texts in Latin, Chinese and Japanese scripts
    fonts-liberation2 fonts-noto-cjk
    # the Debian package: dpkg-shlibdeps finds its library dependencies
    dpkg-dev file
    # the installed packages' test: lintian, and the tools that read the
    # firewall profiles (ufw is added below)
    desktop-file-utils appstream sqlite3 man-db fontconfig x11-utils lintian firewalld
    # packet filters set up by the doctor tests in namespaces
    nftables iptables
    # a tavolixctl without CAP_NET_ADMIN and CAP_NET_RAW, for --adopt's refusal (capsh)
    libcap2-bin
    # a real spreadsheet for the CSV round trip of tavolixctl's listing
    libreoffice-calc-nogui
    # the Ansible collection: its build and package, and the site test's
    # controller; the segment hosts' sshd is unpacked by that test from
    # openssh-server (whose install would start a service), so only its
    # libraries and its sftp server come from here
    ansible-core python3-yaml openssh-client openssh-sftp-server libwrap0
)

if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: run as root (apt-get needs it)" >&2
    exit 1
fi
# The package test only needs firewall-offline-cmd, which works on files;
# the firewalld daemon of its package would put this machine behind a
# firewall once started. Unless firewalld is installed already, mask its
# service first, so that the install neither starts nor enables it.
if ! dpkg-query -W -f='${Status}' firewalld 2>/dev/null | grep -q ' installed$' &&
    [ ! -e /etc/systemd/system/firewalld.service ]; then
    mkdir -p /etc/systemd/system
    ln -s /dev/null /etc/systemd/system/firewalld.service
fi
# ufw is installed disabled, but it breaks netfilter-persistent: where that
# is installed, leave ufw out rather than remove it (the package test then
# skips the ufw profile's check, saying why).
if ! dpkg-query -W -f='${Status}' netfilter-persistent 2>/dev/null | grep -q ' installed$'; then
    packages+=(ufw)
fi
# NodeSource's nodejs brings its own npm and conflicts with Debian's; where
# no npm is present, Debian's comes with Debian's nodejs.
if ! command -v npm >/dev/null; then
    packages+=(npm)
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${packages[@]}" >/dev/null
