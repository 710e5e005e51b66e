#!/usr/bin/python
# Copyright: Tavolix developers
# MIT License (see LICENSE)

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: plan
short_description: Apply a site's CSV plan to the devices on the host's segment
version_added: 0.1.0
description:
  - Copies a plan, a CSV file on the controller, to the managed host and
    applies it there with C(tavolixctl apply) - each device is sent the
    settings its row asks for and that differ from what it reports, then all
    are verified together.
  - The plan is the site's. A row whose device does not answer on this host
    is skipped and reported, so the same plan can go to every segment host
    and each one changes only the devices on its own segments.
  - The plan's format is that of C(tavolixctl apply) - a C(mac) column and
    any of C(name), C(ip), C(mask), C(gateway), C(http_port), C(mode) and
    C(pppoe_account), and an optional C(host) column; other columns are
    ignored and an empty cell keeps the device's value. The listing of
    C(tavolixctl search --format csv), or the site inventory written by the
    C(tavolix.site.site_csv) filter, is a plan that changes nothing.
  - A row whose C(host) cell names a host is applied by that host alone, and
    left out on every other; an empty cell leaves the row to every host that
    sees its device. A device that two segment hosts see would otherwise be
    changed from both, so a row naming more than one host (as
    C(tavolix.site.site_csv) writes it for such a device) fails the task on
    the hosts it names, until it names one.
  - Any problem in the rows of the devices this host sees (a malformed value,
    two devices ending with one address, a change a device may not take)
    fails the task before anything is sent.
  - In check mode the plan is checked and the changes shown
    (C(tavolixctl apply --dry-run)); nothing but the search is sent.
author: Tavolix developers (@tavolix)
options:
  src:
    description:
      - The plan, a CSV file on the controller. A relative path is looked
        up as the C(copy) module does, in the role's or playbook's C(files).
    type: path
    required: true
  host:
    description:
      - The name this host has in the plan's C(host) column.
      - By default its name in the inventory (C(inventory_hostname)).
    type: str
extends_documentation_fragment:
  - tavolix.site.tavolixctl
  - tavolix.site.tavolixctl.changes
notes:
  - Supports check mode and diff mode.
  - When an ONVIF device on the host's segment refuses the login, nothing is
    sent to any device and the task fails, since a skipped row might be that
    device's.
  - A row skipped on every host names a device that no segment host sees;
    the example in the collection's README checks for such rows.
seealso:
  - module: tavolix.site.devices_info
  - module: tavolix.site.device
"""

EXAMPLES = r"""
- name: Apply the site plan on every segment host
  tavolix.site.plan:
    src: site-plan.csv
    user: admin
    password: "{{ camera_password }}"
"""

RETURN = r"""
devices:
  description:
    - One entry per row of the plan that this host applies, in the plan's
      order.
  returned: always
  type: list
  elements: dict
  contains:
    mac:
      description: The device's MAC address, 12 lower-case hexadecimal digits.
      type: str
    ip:
      description: The address it was last seen at; null when skipped.
      type: str
    result:
      description:
        - C(verified), C(not verified), C(needs reboot), C(failed),
          C(unchanged) or C(skipped) (the device did not answer on this
          host); in check mode C(would change), C(unchanged) or C(skipped).
      type: str
    changes:
      description:
        - Each setting that differed, with what the device reported (C(now))
          and what the plan asks (C(planned)); once sent, also what the
          device held when read back (C(after), null when it was not), which
          the diff shows as after.
      type: dict
    sent:
      description:
        - Whether the device was sent anything (it may have refused it); the
          task is C(changed) only when a device was.
      type: bool
    unverified:
      description: The settings it did not report as asked in time.
      type: list
      elements: str
      returned: when not verified
    error:
      description: Why it failed.
      type: str
      returned: when failed
  sample:
    - mac: 02005e100001
      ip: 10.20.0.11
      result: verified
      changes:
        ip:
          now: 10.20.0.200
          planned: 10.20.0.11
      sent: true
    - mac: 02005e300001
      ip: null
      result: skipped
      changes: {}
      sent: false
unseen:
  description:
    - The MAC addresses of the rows skipped on this host, since their devices
      did not answer on it.
  returned: always
  type: list
  elements: str
"""

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.tavolix.site.plugins.module_utils.tavolixctl import (
    CHANGE_ARGUMENTS,
    SKIPPED,
    Tavolixctl,
    finish,
)


ARGUMENT_SPEC = dict(CHANGE_ARGUMENTS, src=dict(type="path", required=True), host=dict(type="str"))


def main():
    module = AnsibleModule(
        argument_spec=ARGUMENT_SPEC,
        required_together=[["user", "password"]],
        supports_check_mode=True,
    )
    if module.params["user"] is None and not module.check_mode:
        module.fail_json(msg="user and password are needed to change devices")
    # The action plugin has copied the controller's file to src on this host.
    ctl = Tavolixctl(module)
    status, report, err = ctl.apply(
        module.params["src"], dry_run=module.check_mode, skip_missing=True, host=module.params["host"]
    )
    if report is None:
        ctl.fail(status, err, changed=False)
    unseen = [entry["mac"] for entry in report if entry["result"] == SKIPPED]
    finish(module, status, err, report, devices=report, unseen=unseen)


if __name__ == "__main__":
    main()
