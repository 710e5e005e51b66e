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
    free and let in by its firewall (C(tavolixctl doctor) checks both)
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
