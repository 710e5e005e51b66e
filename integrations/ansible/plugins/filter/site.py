# Copyright: Tavolix developers
# MIT License (see LICENSE)

"""Filters that gather the segment hosts' searches into one site inventory
on the controller, and write it as a CSV plan."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import csv
import io
import math
import re

from ansible.errors import AnsibleFilterError

# A cell a spreadsheet would read as a number; "inf", "nan" and numbers too
# large for it (a MAC address such as 02005e100001) stay text there.
_NUMBER_LIKE = re.compile(r"^[0-9.][0-9.eE+-]*$")


def site_inventory(hostvars, hosts, fact="tavolix_devices"):
    """Every host's devices in one list, merged by MAC address; each row is
    the device's dictionary plus host, the hosts that saw it joined by ",".
    A device without a MAC address (ONVIF, searched without a login) cannot
    be matched and stays a row of its own."""
    rows = []
    by_mac = {}
    for host in hosts:
        devices = hostvars[host].get(fact)
        if devices is None:
            continue
        if not isinstance(devices, list):
            raise AnsibleFilterError("site_inventory: %s of %s is not a list" % (fact, host))
        for device in devices:
            mac = device.get("mac")
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
    """The rows as CSV, in the columns of tavolixctl's listing (host last):
    a plan that changes nothing, to be edited into a site plan."""
    columns = []
    for row in rows:
        columns += [key for key in row if key not in columns and key != "host"]
    columns.append("host")
    out = io.StringIO()
    writer = csv.writer(out, lineterminator="\r\n")
    writer.writerow(columns)
    for row in rows:
        writer.writerow([_cell(row.get(key)) for key in columns])
    return out.getvalue()


def _cell(value):
    if value is None:
        return ""
    if isinstance(value, bool):
        return "true" if value else "false"
    if not isinstance(value, str):
        return str(value)
    # Guarded as tavolixctl guards its listing: a spreadsheet keeps the quote
    # as text instead of running a formula or saving 0042 as 42, and the
    # plan reader takes it away again.
    if value[:1] in ("=", "+", "-", "@", "'") or _reads_as_number(value):
        return "'" + value
    return value


def _reads_as_number(text):
    text = text.strip(" \t")
    if not _NUMBER_LIKE.match(text):
        return False
    try:
        return math.isfinite(float(text))
    except ValueError:
        return False


class FilterModule(object):
    def filters(self):
        return dict(site_inventory=site_inventory, site_csv=site_csv)
