# Copyright: Tavolix developers
# MIT License (see LICENSE)

"""The options and requirements of every module that runs tavolixctl."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type


class ModuleDocFragment(object):
    # Every module: where and how tavolixctl searches, and the devices' login.
    DOCUMENTATION = r"""
requirements:
  - C(tavolixctl) (package C(tavolix-cli)) on the managed host's C(PATH),
    speaking JSON schema 1 (C(tavolixctl --version) names it; a task fails on
    any other before it sends anything)
  - the managed host on the devices' segment, with UDP ports 3566 and 3567
    free and let in by its firewall (C(tavolixctl doctor) checks both), and
    UDP port 3702 let in for the ONVIF devices that answer to the
    WS-Discovery group (those on a subnet the host is not on)
options:
  interfaces:
    description:
      - Search only on these network interfaces of the host.
      - By default every IPv4 interface that is up and can broadcast.
    type: list
    elements: str
    default: []
  protocol:
    description:
      - Search, and change devices, in both protocols, or only in the
        devices' own (C(native)) or in ONVIF.
    type: str
    choices: [all, native, onvif]
    default: all
  user:
    description:
      - The devices' login. Needed to change devices. With it, ONVIF devices
        are read through their device service, so their MAC address (by
        which a plan finds them), mask, gateway and mode are known.
    type: str
  password:
    description:
      - The login's password. It reaches C(tavolixctl) on its standard input,
        never on a command line, and is never logged.
    type: str
  adopt:
    description:
      - Reach the ONVIF devices that answer from a subnet the host is not on,
        such as new cameras on a factory address (192.168.1.64/24) or on a
        link-local one (169.254.x.y), so that they are read and can be
        changed (C(tavolixctl --adopt)).
      - For each such subnet the host adds a temporary address to the
        interface the answer came in on, in the device's /24 (or in
        169.254.0.0/16), chosen by an ARP probe so that no one holds it, and
        removes it again before the task ends.
      - >-
        This needs C(CAP_NET_ADMIN) and C(CAP_NET_RAW), so the task needs
        C(become: true). Without them the task fails before anything is sent,
        with a message naming C(CAP_NET_ADMIN).
      - Without it such a device is listed from its answer to the probe only,
        unread, with C(on_link) false, and cannot be changed.
      - Several ONVIF devices that answer from one address are not changed
        (they cannot be told apart over HTTP); connect them one at a time or
        give them DHCP.
    type: bool
    default: false
"""

    # The modules that change devices: how long to wait for them, and reboots.
    CHANGES = r"""
options:
  reboot:
    description:
      - Reboot the ONVIF devices that take their new address only after a
        reboot. Without it such a device keeps working with its old address
        and the task fails, saying it needs a reboot.
    type: bool
    default: false
  timeout:
    description:
      - How long to wait for the devices to report their new settings, in
        milliseconds; by default as long as C(tavolixctl apply) waits. Give an
        ONVIF device that is rebooted long enough to start again.
    type: int
"""
