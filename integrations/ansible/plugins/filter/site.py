# Copyright: Tavolix developers
# MIT License (see LICENSE)

"""Filters that gather the segment hosts' searches into one site inventory
on the controller, and write it as a CSV plan."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

from collections.abc import Mapping

from ansible.errors import AnsibleFilterError
from ansible_collections.tavolix.site.plugins.module_utils.csv_listing import JSON_ONLY_KEYS, csv_listing


def site_inventory(hostvars, hosts, result):
    """Every host's devices in one list, merged by MAC address, from the
    devices_info result each host registered as the variable named result;
    each row is the device's dictionary plus host, the hosts that saw it
    joined by ",". A host without devices in it (it failed, was skipped or
    not reached) adds none. A device without a MAC address (ONVIF, searched
    without a login) cannot be matched and stays a row of its own; devices
    that share a MAC (mac_conflict, cloned firmware) are matched by MAC and
    address, so each clone keeps its row."""
    rows = []
    by_mac = {}
    for host in hosts:
        registered = hostvars[host].get(result) or {}
        if not isinstance(registered, Mapping) or not isinstance(registered.get("devices", []), list):
            raise AnsibleFilterError("site_inventory: %s of %s is no result of devices_info" % (result, host))
        for device in registered.get("devices", []):
            mac = device.get("mac")
            if mac and device.get("mac_conflict"):
                mac = (mac, device.get("ip"))
            if mac and mac in by_mac:
                row = by_mac[mac]
                row["host"] = row["host"] + "," + host
                continue
            row = dict(device)
            row["host"] = host
            rows.append(row)
            if mac:
                by_mac[mac] = row
    return rows


def site_csv(rows):
    """The rows as tavolixctl lists devices in CSV, with host last: a plan
    that changes nothing, to be edited into a site plan. What only the JSON
    listing carries (a device's address list, its clock) is left out."""
    columns = []
    for row in rows:
        columns += [key for key in row if key not in columns and key not in JSON_ONLY_KEYS and key != "host"]
    return csv_listing(rows, columns + ["host"])


class FilterModule(object):
    def filters(self):
        return dict(site_inventory=site_inventory, site_csv=site_csv)
