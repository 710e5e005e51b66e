#!/usr/bin/python
# Copyright: Tavolix developers
# MIT License (see LICENSE)

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: device
short_description: The network settings of one IP camera or video recorder
version_added: 0.1.0
description:
  - Makes one device, found by its MAC address on the managed host's
    segment, hold the given settings. Settings that are not given are left
    as they are.
  - Runs C(tavolixctl apply) on the host with a plan of one row. The device
    is sent only the settings that differ from what it reports; then it is
    searched again until it reports them all (verified). A device that holds
    every given setting already is sent nothing and the task is not changed.
  - In check mode the plan is checked against a search and the changes are
    shown (C(tavolixctl apply --dry-run)); nothing but the search is sent.
  - With C(--diff) the changed settings are shown before and after.
author: Tavolix developers (@tavolix)
options:
  mac:
    description:
      - The device's MAC address, as 12 hexadecimal digits, with or without
        C(:) or C(-) between the pairs.
    type: str
    required: true
  name:
    description:
      - The device's name, written as C(tavolixctl) lists it - a backslash
        as C(\\), and a byte that is no printable UTF-8 as C(\xHH).
    type: str
  ip:
    description: Its IPv4 address.
    type: str
  mask:
    description: Its subnet mask.
    type: str
  gateway:
    description: Its default gateway.
    type: str
  http_port:
    description: The port of its web page, 1 to 65535.
    type: int
  mode:
    description:
      - How it gets its address. The address fields change only when the
        resulting mode is not C(dhcp).
    type: str
    choices: [static, dhcp, pppoe]
  pppoe_account:
    description: Its PPPoE account; ONVIF devices have none.
    type: str
extends_documentation_fragment:
  - tavolix.site.tavolixctl
  - tavolix.site.tavolixctl.changes
notes:
  - Supports check mode and diff mode.
  - A value the device may not take (such as PPPoE on a device without it, or
    an invalid address) fails the task with C(tavolixctl)'s reason before
    anything is sent.
  - A device that does not answer on the host's segment fails the task.
seealso:
  - module: tavolix.site.devices_info
  - module: tavolix.site.plan
"""

EXAMPLES = r"""
- name: Give the lobby camera its address
  tavolix.site.device:
    mac: "02:00:5e:10:00:01"
    name: LOBBY-1
    ip: 10.20.0.11
    mask: 255.255.255.0
    gateway: 10.20.0.1
    user: admin
    password: "{{ camera_password }}"

- name: Move an ONVIF camera that needs a reboot for it
  tavolix.site.device:
    mac: 02005e200001
    ip: 10.20.0.12
    user: admin
    password: "{{ camera_password }}"
    reboot: true
    timeout: 60000

- name: Move a new camera from its factory address onto the site's subnet
  tavolix.site.device:
    mac: 02005e400001
    ip: 10.20.0.60
    mask: 255.255.255.0
    gateway: 10.20.0.1
    adopt: true
    user: admin
    password: "{{ camera_password }}"
  become: true  # adopt adds a temporary address to the interface
"""

RETURN = r"""
mac:
  description: The device's MAC address, 12 lower-case hexadecimal digits.
  returned: always
  type: str
  sample: 02005e100001
result:
  description:
    - What became of the device - C(unchanged), C(verified), or in check
      mode C(would change); on failure C(not verified), C(needs reboot) or
      C(failed).
  returned: when tavolixctl reported on the device
  type: str
  sample: verified
changes:
  description:
    - Each setting that differed, with what the device reported (C(now)) and
      what it was asked to hold (C(planned)); once sent, also what it held
      when read back (C(after), null when it was not), which the diff shows
      as after.
  returned: always
  type: dict
  sample:
    ip:
      now: 10.20.0.200
      planned: 10.20.0.11
unverified:
  description: The settings the device did not report as asked in time.
  returned: when the device was not verified
  type: list
  elements: str
"""

import os

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.tavolix.site.plugins.module_utils.csv_listing import csv_listing
from ansible_collections.tavolix.site.plugins.module_utils.tavolixctl import (
    CHANGE_ARGUMENTS,
    Tavolixctl,
    finish,
)

SETTINGS = ("name", "ip", "mask", "gateway", "http_port", "mode", "pppoe_account")


ARGUMENT_SPEC = dict(
    CHANGE_ARGUMENTS,
    mac=dict(type="str", required=True),
    name=dict(type="str"),
    ip=dict(type="str"),
    mask=dict(type="str"),
    gateway=dict(type="str"),
    http_port=dict(type="int"),
    mode=dict(type="str", choices=["static", "dhcp", "pppoe"]),
    pppoe_account=dict(type="str"),
)


def main():
    module = AnsibleModule(
        argument_spec=ARGUMENT_SPEC,
        required_together=[["user", "password"]],
        supports_check_mode=True,
    )
    params = module.params
    if params["user"] is None and not module.check_mode:
        module.fail_json(msg="user and password are needed to change a device")
    row = dict(mac=params["mac"])
    row.update((key, params[key]) for key in SETTINGS if params[key] is not None)
    ctl = Tavolixctl(module)
    plan = os.path.join(module.tmpdir, "device-plan.csv")
    with open(plan, "w") as file:
        file.write(csv_listing([row]))

    # apply checks the row against a search (an absent device, a value the
    # device may not take) and sends only what differs.
    status, report, err = ctl.apply(plan, dry_run=module.check_mode)
    if not report:
        ctl.fail(status, err, changed=False)
    entry = report[0]
    result = dict(mac=entry["mac"], result=entry["result"], changes=entry.get("changes") or {})
    if "unverified" in entry:
        result["unverified"] = entry["unverified"]
    finish(module, status, err, [entry], **result)


if __name__ == "__main__":
    main()
