#!/usr/bin/python
# Copyright: Tavolix developers
# MIT License (see LICENSE)

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: devices_info
short_description: List the IP cameras and video recorders on the host's segment
version_added: 0.1.0
description:
  - Runs C(tavolixctl search) on the managed host and returns every device
    that answered, one dictionary per device with the fields of
    C(tavolixctl search --format json).
  - A search reaches only the host's own segments, since neither the
    broadcast nor the ONVIF probe crosses a router. Run it on one host per
    segment and gather the results on the controller with the
    C(tavolix.site.site_inventory) filter from each host's registered
    result.
  - Nothing is changed on any device; the module runs in check mode as well.
author: Tavolix developers (@tavolix)
options:
  timeout:
    description:
      - How long to listen for answers, in milliseconds; by default as long
        as C(tavolixctl search) listens.
    type: int
extends_documentation_fragment:
  - tavolix.site.tavolixctl
notes:
  - Supports check mode; the search is the same in both modes.
  - A device whose ONVIF service refused the login or did not answer every
    read is still listed with what is known, and a warning names it.
seealso:
  - module: tavolix.site.device
  - module: tavolix.site.plan
"""

EXAMPLES = r"""
- name: List the devices on this segment
  tavolix.site.devices_info:
    user: admin
    password: "{{ camera_password }}"
  register: found

- name: Every segment host's devices in one list, merged by MAC address
  ansible.builtin.set_fact:
    site: "{{ hostvars | tavolix.site.site_inventory(groups['segments'], 'found') }}"
  run_once: true

- name: Only the native protocol, on one interface
  tavolix.site.devices_info:
    interfaces: [eth1]
    protocol: native

- name: Read also the new cameras that sit on their factory address
  tavolix.site.devices_info:
    adopt: true
    user: admin
    password: "{{ camera_password }}"
  become: true  # adopt adds a temporary address to the interface
"""

RETURN = r"""
devices:
  description:
    - The devices that answered, sorted by IP address. The fields and their
      meaning are those of C(tavolixctl search --format json)
      (see C(man tavolixctl)); texts a device sent are escaped as there.
  returned: always
  type: list
  elements: dict
  sample:
    - mac: 02005e100001
      name: LOBBY-1
      ip: 10.20.0.11
      mask: 255.255.255.0
      gateway: 10.20.0.1
      http_port: 80
      mode: static
      kind: 1
      version: V1.0
      pppoe_account: ""
      interface: eth1
      source: 10.20.0.11
      on_link: true
      ip_conflict: false
      protocol: native+onvif
      manufacturer: Acme
      model: C100
      serial: "0001"
      service_url: http://10.20.0.11/onvif/device_service
      auth: digest-sha256
      mac_conflict: false
      clock_offset_s: -4
      xaddr_host: ""
      addresses:
        - ip: 10.20.0.11
          prefix_length: 24
          origin: manual
"""

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.tavolix.site.plugins.module_utils.tavolixctl import (
    EXIT_INCOMPLETE,
    EXIT_SUCCESS,
    SEARCH_ARGUMENTS,
    Tavolixctl,
    parse_json_list,
)


ARGUMENT_SPEC = dict(SEARCH_ARGUMENTS, timeout=dict(type="int"))


def main():
    module = AnsibleModule(
        argument_spec=ARGUMENT_SPEC,
        required_together=[["user", "password"]],
        supports_check_mode=True,
    )
    ctl = Tavolixctl(module)
    arguments = ["--format", "json"]
    if module.params["timeout"] is not None:
        arguments += ["--timeout", str(module.params["timeout"])]
    status, out, err = ctl.run("search", arguments)
    devices = parse_json_list(out)
    if devices is None or status not in (EXIT_SUCCESS, EXIT_INCOMPLETE):
        ctl.fail(status, err)
    # Status 1 with devices listed: some could not be read in full; they
    # are listed with what is known, and stderr says which and why.
    for line in err.splitlines() if status == EXIT_INCOMPLETE and devices else []:
        module.warn(line)
    module.exit_json(changed=False, devices=devices)


if __name__ == "__main__":
    main()
