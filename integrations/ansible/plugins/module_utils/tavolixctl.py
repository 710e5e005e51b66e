# Copyright: Tavolix developers
# MIT License (see LICENSE)

"""Runs tavolixctl on the managed host for the modules of tavolix.site.

The devices' password goes to tavolixctl's standard input, never into its
arguments or its environment, where other users of the host and Ansible's
own logs could read it.
"""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import csv
import io
import json

# tavolixctl's exit statuses.
EXIT_SUCCESS = 0
EXIT_INCOMPLETE = 1  # nothing found, not verified, failed, or a device unread
EXIT_REFUSED = 2  # a refused value or plan: nothing was sent

SEARCH_ARGUMENTS = dict(
    interfaces=dict(type="list", elements="str", default=[]),
    protocol=dict(type="str", default="all", choices=["all", "native", "onvif"]),
    user=dict(type="str"),
    password=dict(type="str", no_log=True),
)

CHANGE_ARGUMENTS = dict(
    SEARCH_ARGUMENTS,
    reboot=dict(type="bool", default=False),
    timeout=dict(type="int", default=15000),
)

# What apply reports for a device it sent settings to.
SENT_RESULTS = frozenset(["verified", "not verified", "needs reboot", "failed"])


class Tavolixctl(object):
    """tavolixctl on the host, with the module's search options and login."""

    def __init__(self, module):
        self.module = module
        self.binary = module.get_bin_path("tavolixctl", required=True)

    def run(self, command, arguments):
        """Runs a command; returns (status, stdout, stderr)."""
        params = self.module.params
        argv = [self.binary, command] + list(arguments)
        for interface in params["interfaces"]:
            argv += ["--interface", interface]
        argv += ["--protocol", params["protocol"]]
        password = None
        if params["user"] is not None:
            argv += ["--user", params["user"], "--password-file", "-"]
            password = params["password"] or ""
        return self.module.run_command(argv, data=password)

    def fail(self, status, err, **result):
        message = err.strip() or "tavolixctl exited with status %d" % status
        self.module.fail_json(msg=message, rc=status, **result)

    def apply(self, plan_path, dry_run=False, skip_missing=False):
        """Applies a plan; returns (status, report, stderr) where report is
        apply's JSON report, one entry per row, or None if it made none."""
        arguments = [plan_path, "--format", "json"]
        params = self.module.params
        if dry_run:
            arguments.append("--dry-run")
        else:
            arguments += ["--timeout", str(params["timeout"])]
            if params["reboot"]:
                arguments.append("--reboot")
        if skip_missing:
            arguments.append("--skip-missing")
        status, out, err = self.run("apply", arguments)
        return status, parse_json_list(out), err


def parse_json_list(text):
    """The JSON array tavolixctl printed, or None when it printed none."""
    if not text.strip():
        return None
    try:
        value = json.loads(text)
    except ValueError:
        return None
    return value if isinstance(value, list) else None


def plan_text(rows):
    """A plan with the given rows (dicts of setting key to value) as CSV.

    Every text cell starts with a quote, which the plan reader takes away:
    a name that itself starts with one, or that a reader would take for a
    number, stays as it is.
    """
    keys = []
    for row in rows:
        keys += [key for key in row if key not in keys]
    out = io.StringIO()
    writer = csv.writer(out, lineterminator="\n")
    writer.writerow(keys)
    for row in rows:
        writer.writerow([plan_cell(key, row.get(key)) for key in keys])
    return out.getvalue()


def plan_cell(key, value):
    if value is None:
        return ""
    if key in ("name", "pppoe_account"):
        return "'" + value
    return str(value)


def finish(module, status, err, entries, **result):
    """Ends the module with apply's report on the entries: changed only when
    a device was sent something (in check mode: would be), a failure naming
    each device that did not end as planned, with tavolixctl's reason."""
    if module.check_mode:
        changed = any(entry.get("changes") for entry in entries)
    else:
        changed = any(entry["result"] in SENT_RESULTS for entry in entries)
    result.update(changed=changed, diff=diff_of(entries))
    trouble = trouble_of(entries)
    if status != 0 or trouble:
        module.fail_json(msg="; ".join(trouble + [err.strip()]).strip("; "), rc=status, **result)
    module.exit_json(**result)


def diff_of(entries):
    """Ansible's before/after view of apply's reported changes."""
    diffs = []
    for entry in entries:
        changes = entry.get("changes") or {}
        if not changes:
            continue
        header = entry["mac"]
        diffs.append(
            dict(
                before_header=header,
                after_header=header,
                before=dict((key, change["now"]) for key, change in changes.items()),
                after=dict((key, change["planned"]) for key, change in changes.items()),
            )
        )
    return diffs


def trouble_of(entries):
    """One line per device that did not end as planned."""
    lines = []
    for entry in entries:
        result = entry.get("result")
        if result in ("not verified", "needs reboot", "failed"):
            detail = entry.get("error") or ", ".join(entry.get("unverified") or [])
            if result == "needs reboot":
                detail = "in effect only after a reboot (reboot: true reboots it)"
            lines.append("%s: %s%s" % (entry["mac"], result, ": " + detail if detail else ""))
    return lines
